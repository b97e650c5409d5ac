#include "device/ChildProcess.h"
#include "device/LineParser.h"
#include "records/CaseTable.h"
#include "records/TempDir.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const std::string kEsc = "\x1b";

// One screen line as the unit paints it: cursor sequence, text, escape.
std::string Line(const std::string& text) {
    return kEsc + "[5;1H" + text + kEsc;
}

struct Fixture {
    CAhrsState state;
    CLineParser parser{state};
};

// The record hx410-decode prints after reading `bytes`, a line per field.
std::vector<std::string> Decode(const std::string& bytes) {
    CChildProcess decoder({HX410_DECODE_PATH});
    decoder.Send(bytes);
    EXPECT_EQ(decoder.Finish(), 0);
    return Lines(decoder.Out());
}

// Each case of screen-lines.txt, read alone, changes exactly the fields it names.
TEST(Dispatch, EachLineChangesExactlyTheFieldsItsCaseNames) {
    const std::vector<std::string> freshLines = Decode("");
    const std::set<std::string> fresh(freshLines.begin(), freshLines.end());
    const std::vector<std::string> cases = Lines(ReadText(HX410_TEST_DATA_DIR "/screen-lines.txt"));
    int checked = 0;
    for (const std::string& entry : cases) {
        if (entry.empty() || entry[0] == '#') {
            continue;
        }
        const std::size_t arrow = entry.find(" => ");
        ASSERT_NE(arrow, std::string::npos) << "a case without \" => \": " << entry;
        ++checked;
        std::string changed;
        for (const std::string& field : Decode(Line(Unescape(entry.substr(0, arrow))))) {
            if (field.starts_with("RecognisedChunks=") ||
                (fresh.count(field) == 0 && !field.starts_with("Chunks="))) {
                changed += (changed.empty() ? "" : " | ") + field;
            }
        }
        EXPECT_EQ(changed, entry.substr(arrow + 4)) << entry;
    }
    EXPECT_GE(checked, 90);
}

// A line that never ends stays bounded, and its tail does not glue onto the next line.
TEST(LineAssembly, AnOverlongLineIsDroppedAndParsingResumes) {
    Fixture f;
    const std::string junk(1000, 'x');
    for (std::size_t fed = 0; fed < 3 * CLineParser::kMaxPending; fed += junk.size()) {
        f.parser.ProcessChunk(junk);
        ASSERT_LE(f.parser.Pending().size(), CLineParser::kMaxPending);
    }
    EXPECT_TRUE(f.parser.ProcessChunk("PITCH 9" + kEsc + "PITCH 2" + kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 2);
    // A NUL ends what the read delivered: nothing after it is parsed.
    f.parser.ProcessChunk(Line("PITCH 3") + std::string(1, '\0') + Line("ROLL 4"));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 3);
    EXPECT_DOUBLE_EQ(f.state.GetRoll(), 0);
}

// A line whose value cannot be read, or that stores nothing, changes no group.
TEST(ChangedGroups, EachLineReportsTheGroupItStored) {
    using G = CRecordGroups;
    const struct {
        const char* line;
        CRecordGroups changed;
    } cases[] = {{"ROLL -2", G::kAttitude},
                 {"Mag Avg 400", {}},
                 {"STAT zz", G::kStatus},
                 {"X TEMP 3", {}},
                 {"MAG ZL 5000", {}},
                 {"MFC X -12", G::kCorrections},
                 {"Sn 77001", G::kIdentity},
                 {"Lat: 45", {}},
                 {"hello", {}},
                 {"++ MCC STORE ++", G::kAcknowledgements}};
    for (const auto& c : cases) {
        Fixture f;
        EXPECT_EQ(f.parser.ProcessChunk(Line(c.line)).changed.Bits(), c.changed.Bits()) << c.line;
    }
    Fixture f;
    const auto first = f.parser.ProcessChunk(Line("PITCH 1") + Line("STAT 00CF") + "\x1b[1;1HMNT");
    EXPECT_EQ(first.changed, CRecordGroups::kAttitude | CRecordGroups::kStatus);
    EXPECT_EQ(f.parser.ProcessChunk(" 4\x1b").changed, CRecordGroups(CRecordGroups::kMount));
}

TEST(Acknowledgement, BannerBeforeTheClearDoesNotCountAndBadIndicesAreNeverSet) {
    Fixture f;
    f.parser.ProcessChunk(Line("++ MCC STORE ++"));
    f.parser.ClearAck(3);
    EXPECT_FALSE(f.parser.IsAckSet(3));
    f.parser.ProcessChunk(Line("++ MCC STORE ++"));
    EXPECT_TRUE(f.parser.IsAckSet(3));
    f.parser.ClearAck(4);
    EXPECT_FALSE(f.parser.IsAckSet(4) || f.parser.IsAckSet(-1));
    EXPECT_EQ(f.parser.AckSetCount(7), 0U);
}

} // namespace
