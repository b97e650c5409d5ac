#include "records/PlainText.h"

#include <gtest/gtest.h>

namespace {

// Bytes that are not UTF-8 are Latin-1 characters when shown; valid UTF-8 stays as it is.
TEST(PlainTextTest, BytesOfAn8BitFileAreShownAsLatin1) {
    const std::pair<std::string, std::string> cases[] = {
        {"M\xFCller", "M\xC3\xBCller"},
        {"M\xC3\xBCller", "M\xC3\xBCller"},
        {"\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},                     // the euro sign
        {"\xF0\x9F\x9B\xA9", "\xF0\x9F\x9B\xA9"},                 // four bytes
        {"\xE2\x82", "\xC3\xA2\xC2\x82"},                         // cut short
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                         // an over-long '/'
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},             // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"}, // beyond U+10FFFF
        {"\xFF", "\xC3\xBF"}};
    for (const auto& [bytes, shown] : cases) {
        EXPECT_EQ(Utf8FromBytes(bytes), shown) << bytes;
    }
}

TEST(PlainTextTest, ControlCharactersAreLeftOutAndEverythingElseKept) {
    const struct {
        std::string text;
        std::string kept;
        std::string shown;
    } cases[] = {{"N1\r\nN2\tN3\x1b[2J", "N1N2N3[2J", "N1N2N3[2J"},
                 {std::string("a\0b\x7F", 4), "ab", "ab"},
                 {"a\xC2\x85\xC2\x9F\xC2\xA0", "a\xC2\xA0", "a\xC2\xA0"}, // C1 controls; NBSP stays
                 {"a\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAA", "a\xE2\x80\xAA", "a\xE2\x80\xAA"},
                 // A lone byte of an 8-bit code page is kept; shown, 0x85 is a C1 control.
                 {"M\x85\xFC", "M\x85\xFC", "M\xC3\xBC"}};
    for (const auto& c : cases) {
        EXPECT_EQ(WithoutControlCharacters(c.text), c.kept) << c.text;
        EXPECT_EQ(PrintableUtf8(c.text), c.shown) << c.text;
    }
}

} // namespace
