#include "records/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a descriptor when it goes out of scope unless released.
class CFdGuard {
public:
    explicit CFdGuard(int fd) : fd(fd) {}
    CFdGuard(const CFdGuard&) = delete;
    CFdGuard& operator=(const CFdGuard&) = delete;
    ~CFdGuard() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int Get() const { return fd; }
    // Closes now and reports whether the close succeeded (it may report a deferred write error).
    bool Close() {
        const int closing = fd;
        fd = -1;
        return ::close(closing) == 0;
    }

private:
    int fd;
};

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a new, uniquely named file beside `path` (mode 0666 less the umask, like an
// ordinary new file). Returns the descriptor and sets `tempPath`, or -1.
int CreateTemporary(const std::string& path, std::string& tempPath) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        tempPath = path + ".tmp" + std::to_string(random() % 1000000000u);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool WriteAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo the replacement.
void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool CAtomicFile::Write(const std::string& path, std::string_view contents) {
    if (path.empty()) {
        return false;
    }
    std::string tempPath;
    CFdGuard file(CreateTemporary(path, tempPath));
    if (file.Get() < 0) {
        return false;
    }
    const bool written = WriteAll(file.Get(), contents) && ::fsync(file.Get()) == 0;
    const bool closed = file.Close();
    if (!written || !closed || ::rename(tempPath.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        errno = error; // the reason of the failure, not of the clean-up
        return false;
    }
    SyncDirectory(DirectoryOf(path));
    return true;
}
