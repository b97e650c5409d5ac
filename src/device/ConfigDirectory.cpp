#include "device/ConfigDirectory.h"

#include <cstdlib>

namespace {

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path == "/" ? std::string() : path;
}

} // namespace

ConfigDirectory ConfigDirectory::Find() {
    return From(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

ConfigDirectory ConfigDirectory::From(const char* xdgConfigHome, const char* home) {
    if (IsAbsolute(xdgConfigHome)) {
        return {WithoutTrailingSlashes(xdgConfigHome) + "/hx410-install", {}};
    }
    if (IsAbsolute(home)) {
        return {WithoutTrailingSlashes(home) + "/.config/hx410-install", {}};
    }
    return {{}, kNoDirectory};
}
