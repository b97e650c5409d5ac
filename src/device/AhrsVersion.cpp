#include "device/AhrsVersion.h"

#include <array>

namespace {

// The two characters at `at` and `at + 1` read as a decimal number, leading digits only
// ("3x" reads 3, "x3" reads 0).
int LeadingNumber(std::string_view text, std::size_t at) {
    int value = 0;
    for (std::size_t i = at; i < at + 2 && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::int32_t AhrsVersionClassOf(std::string_view text) {
    static constexpr std::array<std::string_view, 4> kExact = {"1.00", "1.10", "1.25", "1.26"};
    for (std::size_t i = 0; i < kExact.size(); ++i) {
        if (text.find(kExact[i]) != std::string_view::npos) {
            return static_cast<std::int32_t>(i);
        }
    }
    static constexpr std::array<std::string_view, 4> kPrefixes = {"1.3", "1.4", "1.5", "1.6"};
    for (std::size_t i = 0; i < kPrefixes.size(); ++i) {
        const std::size_t at = text.find(kPrefixes[i]);
        if (at == std::string_view::npos || text.size() - at < 4) {
            continue;
        }
        const int low = 30 + 10 * static_cast<int>(i);
        const int number = LeadingNumber(text, at + 2);
        if (number >= low && number <= low + 9) {
            return static_cast<std::int32_t>(4 + i);
        }
    }
    return kUnknownVersionClass;
}
