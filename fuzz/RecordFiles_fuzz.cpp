// Arbitrary bytes as a magnetometer measurement file and as a settings file: reading either
// must never crash, leak or hang, and whatever was read must survive a write and a re-read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

#include "records/MagMeasurementFile.h"
#include "records/SettingsStore.h"

namespace {

// One scratch directory for the whole run, removed at exit.
class CScratchDirectory {
public:
    CScratchDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "hx410-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
        }
    }
    CScratchDirectory(const CScratchDirectory&) = delete;
    CScratchDirectory& operator=(const CScratchDirectory&) = delete;
    ~CScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    const std::string& Path() const { return path; }

private:
    std::string path;
};

const CScratchDirectory& Scratch() {
    static const CScratchDirectory directory;
    return directory;
}

void WriteBytes(const std::string& path, const uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void CheckMeasurementFile(const uint8_t* data, std::size_t size) {
    const CMagMeasurementFile file("fuzz", Scratch().Path());
    WriteBytes(file.Path(), data, size);
    int16_t x = 0, y = 0, z = 0;
    if (!file.Read(x, y, z)) {
        return;
    }
    int16_t x2 = 0, y2 = 0, z2 = 0;
    if (!file.Write(x, y, z) || !file.Read(x2, y2, z2) || x2 != x || y2 != y || z2 != z) {
        std::abort();
    }
}

void CheckSettingsFile(const uint8_t* data, std::size_t size) {
    const std::string path = Scratch().Path() + "/appSettings.xml";
    WriteBytes(path, data, size);
    const CSettingsStore store(path);
    if (!store.Save() || CSettingsStore(path).Entries() != store.Entries()) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (Scratch().Path().empty()) {
        return 0;
    }
    CheckMeasurementFile(data, size);
    CheckSettingsFile(data, size);
    return 0;
}
