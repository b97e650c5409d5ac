#include "sim/NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}
