#include "records/PlainText.h"

#include <gtest/gtest.h>

#include "CaseTable.h"

namespace {

TEST(PlainTextTest, BytesAreShownAsUtf8AndControlCharactersLeftOut) {
    for (const auto& c : CaseTable("plain-text.txt")) {
        const std::string result = c[0] == "shown"  ? Utf8FromBytes(c[1])
                                   : c[0] == "kept" ? WithoutControlCharacters(c[1])
                                                    : PrintableUtf8(c[1]);
        EXPECT_EQ(result, c[2]) << c[0] << ": " << c[1];
    }
}

} // namespace
