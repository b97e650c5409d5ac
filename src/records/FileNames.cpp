#include "records/FileNames.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

std::string SafeFileNamePart(std::string_view text) {
    std::string safe(text);
    for (char& c : safe) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '/' || c == '\\') {
            c = '_';
        }
    }
    return safe;
}

std::string CurrentDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            return std::string(buffer.data());
        }
        if (errno != ERANGE || buffer.size() >= (std::size_t{1} << 24)) {
            return ".";
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string JoinPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

std::string DirectoryWriteProblem(const std::string& directory) {
    std::string probe = JoinPath(directory, ".hx410-write-test-XXXXXX");
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return std::strerror(errno);
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return std::string();
}
