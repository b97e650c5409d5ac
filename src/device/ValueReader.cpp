#include "device/ValueReader.h"

#include <charconv>
#include <cmath>
#include <cstddef>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string_view SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    return text.substr(i);
}

std::size_t CountDigits(std::string_view text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
    }
    return i - from;
}

// Steps over an optional '+' or '-' at `i`; true for '-'.
bool SkipSign(std::string_view text, std::size_t& i) {
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        return text[i++] == '-';
    }
    return false;
}

} // namespace

std::optional<double> ReadReal(std::string_view text) {
    text = SkipBlanks(text);
    std::size_t i = 0;
    const bool negative = SkipSign(text, i);
    const std::size_t mantissaStart = i;
    const std::size_t intDigits = CountDigits(text, i);
    i += intDigits;
    std::size_t fracDigits = 0;
    if (i < text.size() && text[i] == '.') {
        fracDigits = CountDigits(text, i + 1);
        if (intDigits > 0 || fracDigits > 0) {
            i += 1 + fracDigits;
        }
    }
    if (intDigits == 0 && fracDigits == 0) {
        return std::nullopt;
    }
    // The exponent belongs to the number only when it has digits.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        const std::size_t expDigits = CountDigits(text, j);
        if (expDigits > 0) {
            i = j + expDigits;
        }
    }
    double magnitude = 0;
    const char* first = text.data() + mantissaStart;
    const char* last = text.data() + i;
    const auto result = std::from_chars(first, last, magnitude, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(magnitude)) {
        return std::nullopt;
    }
    return negative ? -magnitude : magnitude;
}

std::optional<std::int64_t> ReadInteger(std::string_view text, std::int64_t minimum,
                                        std::int64_t maximum) {
    text = SkipBlanks(text);
    std::size_t i = 0;
    const bool negative = SkipSign(text, i);
    const std::size_t digits = CountDigits(text, i);
    if (digits == 0) {
        return std::nullopt;
    }
    // Accumulate with a ceiling well above any 32-bit value, so long digit runs cannot
    // overflow; anything that reaches it is out of range.
    constexpr std::int64_t kCeiling = std::int64_t{1} << 40;
    std::int64_t magnitude = 0;
    for (std::size_t k = i; k < i + digits; ++k) {
        magnitude = magnitude * 10 + (text[k] - '0');
        if (magnitude >= kCeiling) {
            return std::nullopt;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> ReadHex32(std::string_view text) {
    text = SkipBlanks(text);
    std::size_t i = 0;
    if (i < text.size() && text[i] == '+') {
        ++i;
    }
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i, ++digits) {
        value = value * 16 + static_cast<std::uint64_t>(HexDigit(text[i]));
        if (value > 0xFFFFFFFFULL) {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint16_t> TruncateToLow16(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const double truncated = std::trunc(value);
    if (truncated < -2147483648.0 || truncated > 2147483647.0) {
        return std::nullopt;
    }
    const auto whole = static_cast<std::int64_t>(truncated);
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(whole) & 0xFFFFU);
}
