#include "wizard/IdentificationFile.h"

#include "records/AtomicFile.h"
#include "records/FileNames.h"
#include "records/PlainText.h"

#include <fstream>

namespace {

constexpr char kFileName[] = "app_intro_info.txt";

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// One line of the file without its line end, or false at the end of the file.
bool ReadLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) {
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    line =
        WithoutControlCharacters(CIdentificationFile::Limit(line, CIdentificationFile::kLineLimit));
    return true;
}

std::string OneLine(std::string_view entry) {
    return CIdentificationFile::Limit(WithoutControlCharacters(entry),
                                      CIdentificationFile::kEntryLimit);
}

} // namespace

std::string CIdentificationFile::Path() {
    return JoinPath(CurrentDirectory(), kFileName);
}

bool CIdentificationFile::Read(const std::string& path, Entries& entries) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    Entries read;
    for (std::string* entry : {&read.tailNumber, &read.installer, &read.shopName}) {
        if (!ReadLine(in, *entry)) {
            break;
        }
    }
    entries = std::move(read);
    return true;
}

bool CIdentificationFile::Write(const std::string& path, const Entries& entries) {
    const std::string contents = OneLine(entries.tailNumber) + '\n' + OneLine(entries.installer) +
                                 '\n' + OneLine(entries.shopName) + '\n';
    return CAtomicFile::Write(path, contents);
}

std::string CIdentificationFile::Limit(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return std::string(text);
    }
    std::size_t end = limit;
    while (end > 0 && IsContinuationByte(text[end])) {
        --end; // text[end] starts the character that would be cut
    }
    return std::string(text.substr(0, end));
}
