#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Reading numbers out of maintenance-port text the way formatted stream extraction
// does: leading whitespace skipped, the longest valid prefix taken, trailing text
// ignored. Every reader returns nothing when no number can be read, and also when the
// number does not fit the target type or is not finite, so no conversion is ever
// undefined and no garbled value reaches the record.

// A decimal real number: [+-] digits [. digits] [(e|E) [+-] digits]. No inf, nan or
// hexadecimal forms.
std::optional<double> ReadReal(std::string_view text);

// A decimal integer within [minimum, maximum].
std::optional<std::int64_t> ReadInteger(std::string_view text, std::int64_t minimum,
                                        std::int64_t maximum);

// An unsigned hexadecimal number of at most 32 bits, with or without a "0x" prefix.
std::optional<std::uint32_t> ReadHex32(std::string_view text);

// Truncates toward zero and keeps the low 16 bits, as the unit's counts are stored.
// Values that are not finite or whose truncation lies outside the signed 32-bit range
// have no defined low bits and give nothing.
std::optional<std::uint16_t> TruncateToLow16(double value);
