#include "records/SettingsStore.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <tinyxml2.h>
#include <unistd.h>
#include <utility>

#include "device/ConfigDirectory.h"
#include "records/AtomicFile.h"

namespace {

constexpr const char* kRootName = "appSettings";
constexpr const char* kSettingName = "setting";
constexpr const char* kKeyAttribute = "key";
constexpr const char* kValueAttribute = "value";
constexpr const char* kFileName = "appSettings.xml";
// A settings file this program wrote is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxFileSize = 1024 * 1024;

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The whole file when it is a regular file of reasonable size; false otherwise. Opened
// without blocking, so a FIFO in its place cannot hang the program.
bool ReadWholeFile(const std::string& path, std::string& contents) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    char buffer[4096];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
        ok = contents.size() <= kMaxFileSize;
    }
    ::close(fd);
    return ok;
}

// Creates every missing directory above `path`.
bool CreateParentDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string directory = path.substr(0, slash);
        if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

} // namespace

uint8_t ParseSettingValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned lowBits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        lowBits = (lowBits * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFFu;
    }
    return static_cast<uint8_t>(negative ? (256u - lowBits) & 0xFFu : lowBits);
}

std::string CSettingsStore::DefaultPath() {
    const ConfigDirectory directory = ConfigDirectory::Find();
    return directory.path.empty() ? std::string() : directory.path + "/" + kFileName;
}

CSettingsStore::CSettingsStore(std::string path, bool saveWhenDestroyed)
    : path(std::move(path)), saveWhenDestroyed(saveWhenDestroyed) {
    Load();
}

CSettingsStore::~CSettingsStore() {
    if (saveWhenDestroyed) {
        Save();
    }
}

void CSettingsStore::Load() {
    std::string contents;
    if (path.empty() || !ReadWholeFile(path, contents)) {
        return;
    }
    tinyxml2::XMLDocument document;
    if (document.Parse(contents.data(), contents.size()) != tinyxml2::XML_SUCCESS) {
        return;
    }
    const tinyxml2::XMLElement* root = document.RootElement();
    if (root == nullptr || std::string_view(root->Name()) != kRootName) {
        return;
    }
    for (const tinyxml2::XMLElement* setting = root->FirstChildElement(kSettingName);
         setting != nullptr; setting = setting->NextSiblingElement(kSettingName)) {
        const char* key = setting->Attribute(kKeyAttribute);
        if (key == nullptr) {
            continue;
        }
        const char* value = setting->Attribute(kValueAttribute);
        values[key] = value == nullptr ? 0 : ParseSettingValue(value);
    }
}

uint8_t CSettingsStore::Get(std::string_view key, uint8_t defaultValue) const {
    const std::lock_guard guard(lock);
    const auto found = values.find(std::string(key));
    return found == values.end() ? defaultValue : found->second;
}

uint8_t CSettingsStore::Set(std::string_view key, long long value) {
    const auto stored = static_cast<uint8_t>(static_cast<unsigned long long>(value) & 0xFFu);
    const std::lock_guard guard(lock);
    values[std::string(key)] = stored;
    return stored;
}

std::map<std::string, uint8_t> CSettingsStore::Entries() const {
    const std::lock_guard guard(lock);
    return values;
}

std::string CSettingsStore::ToXml() const {
    tinyxml2::XMLDocument document;
    document.InsertEndChild(document.NewDeclaration("xml version=\"1.0\""));
    tinyxml2::XMLElement* root = document.NewElement(kRootName);
    document.InsertEndChild(root);
    {
        const std::lock_guard guard(lock);
        for (const auto& [key, value] : values) {
            tinyxml2::XMLElement* setting = document.NewElement(kSettingName);
            setting->SetAttribute(kKeyAttribute, key.c_str());
            setting->SetAttribute(kValueAttribute, static_cast<unsigned>(value));
            root->InsertEndChild(setting);
        }
    }
    tinyxml2::XMLPrinter printer;
    document.Print(&printer);
    // A carriage return can only come from a key. Written raw, a reader would turn it into a
    // line feed, so it is written as a character reference and reads back unchanged.
    std::string xml;
    for (const char c : std::string_view(printer.CStr())) {
        if (c == '\r') {
            xml += "&#13;";
        } else {
            xml += c;
        }
    }
    return xml;
}

bool CSettingsStore::Save() const {
    if (path.empty() || !CreateParentDirectories(path)) {
        return false;
    }
    return CAtomicFile::Write(path, ToXml());
}
