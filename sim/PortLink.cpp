#include "sim/PortLink.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string MakeDirectories(const std::string& dir) {
    std::string partial;
    std::size_t pos = 0;
    while (pos <= dir.size()) {
        const std::size_t next = dir.find('/', pos);
        partial = dir.substr(0, next == std::string::npos ? dir.size() : next);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
            return "cannot create " + partial + ": " + std::strerror(errno);
        }
        if (next == std::string::npos) {
            break;
        }
        pos = next + 1;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return dir + " is not a directory";
    }
    return {};
}

bool IsDangling(const std::string& link) {
    struct stat st {};
    return ::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(link.c_str(), &st) != 0;
}

std::string ReadLink(const std::string& link) {
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

} // namespace

std::string CPortLink::Create(const std::string& dir, int requested, const std::string& t) {
    Remove();
    if (requested < 0 || requested > kMaxNumber) {
        return "COM number must lie in 1.." + std::to_string(kMaxNumber);
    }
    if (std::string error = MakeDirectories(dir); !error.empty()) {
        return error;
    }
    const int first = requested == 0 ? 1 : requested;
    const int last = requested == 0 ? kMaxNumber : requested;
    for (int n = first; n <= last; ++n) {
        const std::string candidate = dir + "/COM" + std::to_string(n);
        if (IsDangling(candidate)) {
            ::unlink(candidate.c_str());
        }
        if (::symlink(t.c_str(), candidate.c_str()) == 0) {
            path = candidate;
            target = t;
            number = n;
            return {};
        }
        if (errno != EEXIST) {
            return "cannot create " + candidate + ": " + std::strerror(errno);
        }
    }
    return requested == 0 ? "no free COM number in " + dir
                          : dir + "/COM" + std::to_string(requested) + " is in use";
}

std::string CPortLink::Repoint(const std::string& t) {
    if (path.empty()) {
        return "no link";
    }
    const std::string temporary = path + ".new" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(t.c_str(), temporary.c_str()) != 0) {
        return "cannot create " + temporary + ": " + std::strerror(errno);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string error = std::strerror(errno);
        ::unlink(temporary.c_str());
        return "cannot replace " + path + ": " + error;
    }
    target = t;
    return {};
}

void CPortLink::Remove() {
    if (!path.empty() && ReadLink(path) == target) {
        ::unlink(path.c_str());
    }
    path.clear();
    target.clear();
    number = 0;
}
