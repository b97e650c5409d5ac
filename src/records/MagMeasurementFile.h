#pragma once

#include <cstdint>
#include <string>

// The free-field measurement of one magnetometer, kept between runs in the text file
// mag_sn_<serial>.txt: three lines "OUT_X: <x>", "OUT_Y: <y>", "OUT_Z: <z>". Archived copies
// are mag_sn_<serial>_<n>.txt in the same directory. Without a serial number (none reported
// yet) there is no file: every operation fails and nothing is read, written or removed.
class CMagMeasurementFile {
public:
    // The serial number is made safe for a file name first, so no serial can name a file
    // outside `directory`. An empty directory means the current working directory.
    explicit CMagMeasurementFile(const std::string& serialNumber, std::string directory = {});

    // Full path of the measurement file.
    const std::string& Path() const noexcept { return path; }

    // Replaces the file with the three values. True only when the whole file was written;
    // on failure an earlier file is left as it was.
    bool Write(int16_t x, int16_t y, int16_t z) const;

    // Reads the three values: each is the number after one whitespace-delimited word (the
    // word itself is not examined). A value that cannot be read, is out of the signed 16-bit
    // range or equals -32768 makes the file count as incomplete; after a failed read every
    // later read fails too. False for a missing or incomplete file, and the outputs are then
    // untouched.
    bool Read(int16_t& x, int16_t& y, int16_t& z) const;

    // True when the file can be opened for reading.
    bool Exists() const;

    // Renames the file to the first archive name (n = 0, 1, ...) that names no file at all.
    // False when nothing was renamed.
    bool Archive() const;

    // Deletes the file. False when nothing was deleted.
    bool Delete() const;

    // Path of archive copy n.
    std::string ArchivePath(unsigned n) const;

private:
    std::string directory;
    std::string safeSerial;
    std::string path;
};
