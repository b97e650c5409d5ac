#pragma once

#include <cstdint>
#include <string_view>

// The HX410 software generations the program knows, by the version text the unit reports.
// The class decides the features offered: the ARINC maintenance word from class 2 on,
// the selectable ARINC 429 speed for classes 6 and 7, the free-field step from class 3 on.
constexpr std::int32_t kUnknownVersionClass = 8;

// 0 "1.00", 1 "1.10", 2 "1.25", 3 "1.26" (found anywhere, earlier rules first); then
// 4..7 for "1.3", "1.4", "1.5", "1.6" whose first occurrence is followed, from its third
// character on, by a number in 30..39, 40..49, 50..59 or 60..69 ("1.35b" is 4); else 8.
std::int32_t AhrsVersionClassOf(std::string_view text);
