#pragma once

#include <string>
#include <string_view>

// Texts that people type or paste (tail number, shop, installer) and texts read from files
// or from the unit, made safe to show, store and write. Text is 8-bit: normally UTF-8, but a
// file from another system may hold bytes of an 8-bit code page, which are kept as they are.

// `text` without the characters that would end a line or steer a terminal or viewer: the
// C0 controls (line feed, carriage return, escape, ...), DEL, the C1 controls U+0080 to
// U+009F written in UTF-8, and the line and paragraph separators U+2028 and U+2029.
// Every other byte is kept, bytes that are not valid UTF-8 included.
std::string WithoutControlCharacters(std::string_view text);

// `bytes` as valid UTF-8: valid UTF-8 sequences are kept, and every other byte is taken as
// the Latin-1 character of that value, so "M\xFCller" from an 8-bit file reads "Müller"
// rather than a replacement character.
std::string Utf8FromBytes(std::string_view bytes);

// What a person is shown for `bytes`: Utf8FromBytes without control characters.
std::string PrintableUtf8(std::string_view bytes);
