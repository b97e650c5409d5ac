#include "records/MagMeasurementFile.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "records/AtomicFile.h"
#include "records/FileNames.h"

namespace {

constexpr int16_t kMissing = std::numeric_limits<int16_t>::min();
constexpr unsigned kMaxArchiveNumber = 1000000;

// Opens a regular file for reading without blocking (a FIFO of that name must not hang the
// program); -1 for anything else.
int OpenRegularForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Buffered bytes of an open file, with the same failure rule as a formatted input stream:
// once a read has failed, every later read fails.
class CTokenReader {
public:
    explicit CTokenReader(int fd) : fd(fd) {}
    CTokenReader(const CTokenReader&) = delete;
    CTokenReader& operator=(const CTokenReader&) = delete;
    ~CTokenReader() { ::close(fd); }

    // Skips one whitespace-delimited word.
    bool SkipWord() {
        if (failed || !SkipSpace()) {
            return Fail();
        }
        while (Peek() >= 0 && !IsSpace(Peek())) {
            Next();
        }
        return true;
    }

    // Reads a decimal integer (leading white space, optional sign, at least one digit) into
    // the signed 16-bit range. The number must be a whole word: "12abc" or "1.5" is not a
    // count, and taking its first digits would make up a measurement.
    bool ReadCount(int16_t& value) {
        if (failed || !SkipSpace()) {
            return Fail();
        }
        bool negative = false;
        if (Peek() == '+' || Peek() == '-') {
            negative = Next() == '-';
        }
        if (!IsDigit(Peek())) {
            return Fail();
        }
        long magnitude = 0;
        while (IsDigit(Peek())) {
            magnitude = magnitude * 10 + (Next() - '0');
            if (magnitude > 32768) {
                return Fail();
            }
        }
        if (Peek() >= 0 && !IsSpace(Peek())) {
            return Fail();
        }
        const long signedValue = negative ? -magnitude : magnitude;
        if (signedValue > std::numeric_limits<int16_t>::max()) {
            return Fail();
        }
        value = static_cast<int16_t>(signedValue);
        return true;
    }

private:
    static bool IsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    static bool IsDigit(int c) { return c >= '0' && c <= '9'; }

    bool Fail() {
        failed = true;
        return false;
    }

    bool SkipSpace() {
        while (IsSpace(Peek())) {
            Next();
        }
        return Peek() >= 0;
    }

    int Peek() {
        if (position == length && !Fill()) {
            return -1;
        }
        return static_cast<unsigned char>(buffer[position]);
    }

    int Next() {
        const int c = Peek();
        if (c >= 0) {
            ++position;
        }
        return c;
    }

    bool Fill() {
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) {
                continue;
            }
            position = 0;
            length = got > 0 ? static_cast<std::size_t>(got) : 0;
            return length > 0;
        }
    }

    int fd;
    std::array<char, 4096> buffer{};
    std::size_t position = 0;
    std::size_t length = 0;
    bool failed = false;
};

enum class NameState { Free, Taken, Unknown };

// Any existing entry, even one that cannot be read, takes the name: renaming over it would
// destroy an earlier archive.
NameState StateOfName(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        return NameState::Taken;
    }
    return errno == ENOENT ? NameState::Free : NameState::Unknown;
}

// Renames without replacing an existing file where the file system allows it.
bool RenameNoReplace(const std::string& from, const std::string& to, bool& targetAppeared) {
    targetAppeared = false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        targetAppeared = true;
        return false;
    }
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        return ::rename(from.c_str(), to.c_str()) == 0;
    }
    return false;
}

} // namespace

CMagMeasurementFile::CMagMeasurementFile(const std::string& serialNumber, std::string dir)
    : directory(dir.empty() ? CurrentDirectory() : std::move(dir)),
      safeSerial(SafeFileNamePart(serialNumber)),
      path(JoinPath(directory, "mag_sn_" + safeSerial + ".txt")) {}

std::string CMagMeasurementFile::ArchivePath(unsigned n) const {
    return JoinPath(directory, "mag_sn_" + safeSerial + "_" + std::to_string(n) + ".txt");
}

bool CMagMeasurementFile::Write(int16_t x, int16_t y, int16_t z) const {
    if (safeSerial.empty()) {
        errno = EINVAL;
        return false;
    }
    const std::string contents = "OUT_X: " + std::to_string(x) + "\nOUT_Y: " + std::to_string(y) +
                                 "\nOUT_Z: " + std::to_string(z) + "\n";
    return CAtomicFile::Write(path, contents);
}

bool CMagMeasurementFile::Read(int16_t& x, int16_t& y, int16_t& z) const {
    if (safeSerial.empty()) {
        return false;
    }
    const int fd = OpenRegularForReading(path);
    if (fd < 0) {
        return false;
    }
    std::array<int16_t, 3> values = {kMissing, kMissing, kMissing};
    {
        CTokenReader reader(fd);
        for (int16_t& value : values) {
            if (!reader.SkipWord() || !reader.ReadCount(value)) {
                break;
            }
        }
    }
    for (const int16_t value : values) {
        if (value == kMissing) {
            return false;
        }
    }
    x = values[0];
    y = values[1];
    z = values[2];
    return true;
}

bool CMagMeasurementFile::Exists() const {
    if (safeSerial.empty()) {
        return false;
    }
    const int fd = OpenRegularForReading(path);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

bool CMagMeasurementFile::Archive() const {
    if (safeSerial.empty()) {
        return false;
    }
    for (unsigned n = 0; n < kMaxArchiveNumber; ++n) {
        const std::string archive = ArchivePath(n);
        const NameState state = StateOfName(archive);
        if (state == NameState::Taken) {
            continue;
        }
        if (state == NameState::Unknown) {
            return false;
        }
        bool targetAppeared = false;
        if (RenameNoReplace(path, archive, targetAppeared)) {
            return true;
        }
        if (!targetAppeared) {
            return false;
        }
    }
    return false;
}

bool CMagMeasurementFile::Delete() const {
    return !safeSerial.empty() && ::unlink(path.c_str()) == 0;
}
