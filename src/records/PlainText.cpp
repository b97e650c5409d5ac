#include "records/PlainText.h"

#include <cstddef>

namespace {

unsigned char At(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]);
}

bool IsContinuation(std::string_view text, std::size_t i) {
    return i < text.size() && (At(text, i) & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence that starts at `i`, or 0 when the byte there does
// not start one (a stray continuation byte, an over-long form, a surrogate, a code point
// beyond U+10FFFF, a sequence cut short).
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const unsigned char lead = At(text, i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (!IsContinuation(text, i + k)) {
            return 0;
        }
        code = (code << 6) | (At(text, i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < smallest || code > 0x10FFFF || surrogate ? 0 : length;
}

// Whether the valid sequence of `length` bytes at `i` is a character to leave out.
bool IsControl(std::string_view text, std::size_t i, std::size_t length) {
    const unsigned char lead = At(text, i);
    if (length == 1) {
        return lead < 0x20 || lead == 0x7F;
    }
    if (length == 2) {
        return lead == 0xC2 && At(text, i + 1) <= 0x9F; // U+0080 to U+009F
    }
    // U+2028 and U+2029 are E2 80 A8 and E2 80 A9.
    return length == 3 && lead == 0xE2 && At(text, i + 1) == 0x80 &&
           (At(text, i + 2) == 0xA8 || At(text, i + 2) == 0xA9);
}

void AppendLatin1(std::string& out, unsigned char byte) {
    out += static_cast<char>(0xC0 | (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
}

} // namespace

std::string WithoutControlCharacters(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            kept += text[i++]; // a byte of an 8-bit code page, kept as it is
            continue;
        }
        if (!IsControl(text, i, length)) {
            kept.append(text.substr(i, length));
        }
        i += length;
    }
    return kept;
}

std::string Utf8FromBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8Length(bytes, i);
        if (length == 0) {
            AppendLatin1(text, At(bytes, i++));
            continue;
        }
        text.append(bytes.substr(i, length));
        i += length;
    }
    return text;
}

std::string PrintableUtf8(std::string_view bytes) {
    return WithoutControlCharacters(Utf8FromBytes(bytes));
}
