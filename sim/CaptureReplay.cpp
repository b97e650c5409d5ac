#include "sim/CaptureReplay.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

std::string CCaptureReplay::Load(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "cannot read " + path + ": it is a directory";
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return "cannot read " + path + ": " + std::strerror(errno);
    }
    std::string all{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        return "cannot read " + path;
    }
    std::size_t body = 0;
    while (body < all.size() && all[body] == '#') {
        const std::size_t end = all.find('\n', body);
        body = end == std::string::npos ? all.size() : end + 1;
    }
    if (body == all.size()) {
        return path + " holds no port bytes (after its '#' lines)";
    }
    bytes = all.substr(body);
    return {};
}

std::string_view CCaptureReplay::TakePass() {
    if (!due) {
        return {};
    }
    due = loop;
    return bytes;
}
