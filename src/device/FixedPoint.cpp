#include "device/FixedPoint.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

constexpr int kMaxDecimals = 17;

// True when the written number holds no digit other than zero ("-0.00").
bool IsZero(std::string_view digits) {
    return std::ranges::all_of(digits, [](char c) { return c == '0' || c == '.'; });
}

} // namespace

std::string FixedPoint(double value, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    // Room for the largest double written out in full with every decimal.
    std::array<char, 400> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::fixed, decimals)
                         .ptr;
    std::string text(buffer.data(), end);
    if (std::isfinite(value) && text.starts_with('-') && IsZero(std::string_view(text).substr(1))) {
        text.erase(0, 1);
    }
    return text;
}
