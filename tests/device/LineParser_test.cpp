#include "device/LineParser.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
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

// A line split across reads completes at the next escape; blanks shrink to one, also when
// the blank is due at the end of a read.
TEST(LineAssembly, LinesAndBlanksCarryOverFromOneReadToTheNext) {
    Fixture f;
    EXPECT_TRUE(f.parser.ProcessChunk(kEsc + "[1;1HPITCH   2.50" + kEsc + "[2;1HROL"));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 2.5);
    EXPECT_EQ(f.parser.Pending(), "[2;1HROL");
    EXPECT_TRUE(f.parser.ProcessChunk("L -1.25" + kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetRoll(), -1.25);
    EXPECT_FALSE(f.parser.ProcessChunk("  Mag\t\r\n"));
    EXPECT_EQ(f.parser.Pending(), "Mag ");
    EXPECT_FALSE(f.parser.ProcessChunk("   Avg"));
    EXPECT_TRUE(f.parser.ProcessChunk("  \r\n 42.5 \r\n" + kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetAvgHeading(), 42.5);
}

TEST(LineAssembly, OnlyEscapeEndsALineAndANulEndsTheChunk) {
    Fixture f;
    EXPECT_FALSE(f.parser.ProcessChunk("PITCH 1\r\nROLL 2\r\n"));
    EXPECT_TRUE(f.parser.ProcessChunk(kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 1); // "PITCH 1 ROLL 2" reads 1
    EXPECT_TRUE(f.parser.ProcessChunk(Line("PITCH 3") + std::string(1, '\0') + Line("ROLL 4")));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 3);
    EXPECT_DOUBLE_EQ(f.state.GetRoll(), 0);
}

TEST(LineAssembly, OverlongUnterminatedLineIsDroppedAndParsingResumes) {
    Fixture f;
    const std::string junk(1000, 'x');
    for (std::size_t fed = 0; fed < 3 * CLineParser::kMaxPending; fed += junk.size()) {
        EXPECT_FALSE(f.parser.ProcessChunk(junk));
        EXPECT_LE(f.parser.Pending().size(), CLineParser::kMaxPending);
    }
    // The dropped line's tail does not glue onto the next line.
    EXPECT_TRUE(f.parser.ProcessChunk("PITCH 9" + kEsc + "PITCH 2" + kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 2);
    const std::string text = "Av " + std::string(CLineParser::kMaxPending - 4, 'v');
    EXPECT_TRUE(f.parser.ProcessChunk(kEsc + text + kEsc));
    EXPECT_EQ(f.state.GetReportedAhrsVersion().size(), CLineParser::kMaxPending - 4);
}

// A line (or several, split by escapes), whether the read counts as recognised, and what
// it must leave in the record.
struct DispatchCase {
    std::string line;
    bool recognised;
    std::function<void(const CAhrsState&)> check;
};

void RunCases(const std::vector<DispatchCase>& cases) {
    for (const DispatchCase& c : cases) {
        SCOPED_TRACE(c.line);
        Fixture f;
        EXPECT_EQ(f.parser.ProcessChunk(Line(c.line)).recognised, c.recognised);
        c.check(f.state);
    }
}

// The plain row of each keyword, and the garbled lines of a noisy cable, are checked by the
// captures' expected decodes; these are the rows' prefix clashes, the order of the table
// where keywords start others or sit beside the rules without keyword, and the
// value-reading rules.
TEST(Dispatch, PrefixClashesTableOrderAndValueReading) {
    RunCases({
        {"Mv 2.0\xa0\xff", true,
         [](auto& s) { EXPECT_EQ(s.GetReportedMagVersion(), "2.0\xa0\xff"); }},
        // Cursor sequences go; "[K" has no later 'H', so the rest of the line goes.
        {"[3;10HAv 1.52[K", true, [](auto& s) { EXPECT_EQ(s.GetReportedAhrsVersion(), "1.52"); }},
        {"[3;1H\x1b   ", false, [](auto&) {}},
        {"Av [1;1H", true, [](auto& s) { EXPECT_EQ(s.GetReportedAhrsVersion(), ""); }},
        {"Avx 1", false, [](auto& s) { EXPECT_EQ(s.GetReportedAhrsVersion(), ""); }},
        {"AN 10", true, [](auto& s) { EXPECT_FALSE(s.GetAnFlag()); }},
        {"123 ABC", true, [](auto& s) { EXPECT_EQ(s.GetDataText(), "123 ABC"); }},
        {"hello", false, [](auto&) {}},
        {"ROLL T 12", false, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 0); }},
        {"PITCH T 12", false, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetPitch(), 0); }},
        {"ROLLS 3", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 3); }},
        {"ROLL +3.5e1deg", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 35); }},
        {"ROLL 4e", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 4); }},
        {"ROLL abc", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 0); }},
        {"Mag Avg 360", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetAvgHeading(), 0); }},
        {"BLK 1 2.5", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetBlkValue(), 2.5); }},
        {"BLK 7", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetBlkValue(), 7); }},
        {"MNT 9.7", true, [](auto& s) { EXPECT_EQ(s.GetMountPosition(), 9); }},
        {"STAT 0x1000", true, [](auto& s) { EXPECT_EQ(s.GetStatusWord(), 0x1000U); }},
        {"Y AVG 1234.9", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(1), 1234); }},
        {"Z AVG -1", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(2), 65535); }},
        {"X AVG 70000", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(0), 70000 - 65536); }},
        {"X TEMP 3", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetAccel(0), 0); }},
        {"XX3P", true, [](auto& s) { EXPECT_TRUE(s.GetGyroScaleTable().empty()); }},
        {"MAG XL 1", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(0), 0); }},
        {"MAG YL -2", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(1), 65534); }},
        {"MAG ZL 12", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(0), 0); }},
        {"MFC Z 32767", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(2), 32767); }},
        {"MFC X 32768", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(0), 0); }},
        {"MFC X -32769", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(0), 0); }},
        {"MFC Q 5", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(0), 0); }},
        {"MCC W 1.5 N 2", true,
         [](auto& s) {
             EXPECT_DOUBLE_EQ(s.GetMcc(0), 1.5);
             EXPECT_DOUBLE_EQ(s.GetMcc(3), 0);
         }},
        {"MCCX", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMcc(0), 0); }},
        {"ROLL T 12:30:45", true,
         [](auto& s) {
             EXPECT_EQ(s.GetColonLineText(), "ROLL T 12:30:45");
             EXPECT_DOUBLE_EQ(s.GetRoll(), 0);
         }},
        {"PITCH T 1:2", true,
         [](auto& s) {
             EXPECT_EQ(s.GetColonLineText(), "");
             EXPECT_DOUBLE_EQ(s.GetPitch(), 0);
         }},
        {"ROLL T", false, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 0); }},
        {"ROLLT 5", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 5); }},
        {"PITCHT 6", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetPitch(), 6); }},
        {"STAT 12:00:01", true,
         [](auto& s) {
             EXPECT_EQ(s.GetStatusWord(), 0x12U);
             EXPECT_EQ(s.GetColonLineText(), "");
         }},
        {"Magvar 1:2:3", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagneticVariation(), 1); }},
        {"Lat 12:00:01", true,
         [](auto& s) {
             EXPECT_EQ(s.GetColonLineText(), "Lat 12:00:01");
             EXPECT_EQ(s.GetLatitudeCount(), 0U);
         }},
        {"A429 1:2:3", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetA429Speed(), 0); }},
        {"ARINC 1:2", true, [](auto& s) { EXPECT_EQ(s.GetArincCount(), 0U); }},
        {"12:30:45", true,
         [](auto& s) {
             EXPECT_EQ(s.GetColonLineText(), "12:30:45");
             EXPECT_EQ(s.GetDataText(), "");
         }},
        {"-5 3", true, [](auto& s) { EXPECT_EQ(s.GetDataText(), "-5 3"); }},
        {"MAGXL 12345", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(0), 0); }},
        {"MagCorr 2", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagCorrHeading(), 2); }},
        {"Magvar 3", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagneticVariation(), 3); }},
        {"Mag 3", false, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagneticVariation(), 0); }},
        {"XX 2", true, [](auto& s) { EXPECT_EQ(s.GetGyroScaleTable().count(1500), 1U); }},
        {"X AVG 3", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(0), 3); }},
        {"X", false, [](auto& s) { EXPECT_EQ(s.GetAvgCount(0), 0); }},
        {"MCC N 1", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMcc(0), 1); }},
        {"MCC", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMcc(0), 0); }},
    });
}

// Garbled values must never reach the record, and converting them must be defined.
TEST(Dispatch, UnreadableValuesLeaveTheRecordUnchanged) {
    RunCases({
        {"PITCH nan", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetPitch(), 0); }},
        {"Lat 1e400", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetLatitude(), 0); }},
        {"MCC N -1e309", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMcc(0), 0); }},
        {"Mag Avg 361", true,
         [](auto& s) {
             EXPECT_DOUBLE_EQ(s.GetAvgHeading(), 0);
             EXPECT_EQ(s.GetAvgHeadingCount(), 0U);
             EXPECT_TRUE(s.GetFirstHeading());
         }},
        {"Mag Avg -0.5", true, [](auto& s) { EXPECT_EQ(s.GetAvgHeadingCount(), 0U); }},
        {"Mag Avg", true, [](auto& s) { EXPECT_EQ(s.GetAvgHeadingCount(), 0U); }},
        {"Mag Raw 1e300", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagRawHeading(), 0); }},
        {"Y AVG -inf", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(1), 0); }},
        {"MAG XL 3e9", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(0), 0); }},
        {"MNT 99999999999999999999", true, [](auto& s) { EXPECT_EQ(s.GetMountPosition(), 0); }},
        {"MNT 2147483648", true, [](auto& s) { EXPECT_EQ(s.GetMountPosition(), 0); }},
        {"MNT -2147483648", true, [](auto& s) { EXPECT_EQ(s.GetMountPosition(), INT32_MIN); }},
        {"ARINC nan", true, [](auto& s) { EXPECT_EQ(s.GetArincCount(), 0U); }},
        {"STAT 1FFFFFFFF", true,
         [](auto& s) {
             EXPECT_EQ(s.GetStatusWord(), 0U);
             EXPECT_EQ(s.GetStatusCount(), 1U);
         }},
        {"STAT -1", true, [](auto& s) { EXPECT_EQ(s.GetStatusCount(), 1U); }},
    });
}

TEST(Dispatch, ScaleLinesTakeTheirKeysAndBannersSetTheirEvents) {
    const struct {
        const char* line;
        bool accel;
        int key;
        double value;
    } scales[] = {{"ASF XXN 1.5", true, 0, 1.5}, {"GSF ZY 2", false, 1100, 2},
                  {"GSF QQ 2", false, 1500, 2},  {"XX3P 1.002", false, 103, 1.002},
                  {"ZZ300N 1", false, 444, 1},   {"YY 4", false, 1500, 4}};
    for (const auto& c : scales) {
        Fixture f;
        EXPECT_TRUE(f.parser.ProcessChunk(Line(c.line)));
        const CAhrsState::ScaleTable expected{{c.key, c.value}};
        EXPECT_EQ(c.accel ? f.state.GetAccelScaleTable() : f.state.GetGyroScaleTable(), expected)
            << c.line;
    }
    const char* const banners[] = {"** ACCEL NULL COMPLETE **", "** GYRO NULL COMPLETE **",
                                   "++ MCC ERASE ++", "++ MCC STORE ++"};
    for (int event = 0; event < CLineParser::kAckEventCount; ++event) {
        Fixture f;
        EXPECT_TRUE(f.parser.ProcessChunk(Line(banners[event])));
        for (int i = 0; i < CLineParser::kAckEventCount; ++i) {
            EXPECT_EQ(f.parser.AckSetCount(i), i == event ? 1U : 0U) << banners[event];
        }
        EXPECT_EQ(f.state.GetMcc(0), 0) << "a banner is not an MCC line";
    }
}

// Each read reports the groups its complete lines stored, and only those: a recognised line
// whose value cannot be read, or that stores nothing, changes no group.
TEST(ChangedGroups, EachLineReportsTheGroupItStored) {
    using G = CRecordGroups;
    const struct {
        const char* line;
        CRecordGroups changed;
    } cases[] = {{"PITCH 1", G::kAttitude},
                 {"ROLL -2", G::kAttitude},
                 {"ROLL x", {}},
                 {"OutHdg 3", G::kHeading},
                 {"Mag Avg 10", G::kHeading},
                 {"Mag Raw 11", G::kHeading},
                 {"Mag Avg 400", {}},
                 {"MagCorr 12", G::kHeading},
                 {"STAT 00CF", G::kStatus},
                 {"STAT zz", G::kStatus},
                 {"AN 1", G::kStatus},
                 {"X ACCEL 0.1", G::kSensors},
                 {"Y GYRO 0.2", G::kSensors},
                 {"Z BIAS 0.3", G::kSensors},
                 {"X TEMP 3", {}},
                 {"X AVG 12", G::kMagCounts},
                 {"MAG XL 5000", G::kMagCounts},
                 {"MAG ZL 5000", {}},
                 {"MFC X -12", G::kCorrections},
                 {"MCC N 1.5", G::kCorrections},
                 {"MNT 3", G::kMount},
                 {"Lat 45.5", G::kLocation},
                 {"Magvar -3", G::kLocation},
                 {"A429 1", G::kArinc},
                 {"ARINC 0", G::kArinc},
                 {"Av 1.52", G::kIdentity},
                 {"Sn 77001", G::kIdentity},
                 {"sn 0", {}},
                 {"Mv ", {}},
                 {"ASF XXN 1", G::kScales},
                 {"GSF ZZ 1", G::kScales},
                 {"XX3P 1.002", G::kScales},
                 {"BLK 1 2", G::kOther},
                 {"10:22:05", G::kOther},
                 {"Lat: 45", {}},
                 {"-12 34", G::kOther},
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
    EXPECT_TRUE(f.parser.ProcessChunk("garbage\x1b").changed.Empty());
}

TEST(Acknowledgement, BannerBeforeTheClearDoesNotCountAndBadIndicesAreNeverSet) {
    Fixture f;
    f.parser.ProcessChunk(Line("++ MCC STORE ++"));
    EXPECT_TRUE(f.parser.IsAckSet(3));
    f.parser.ClearAck(3);
    EXPECT_FALSE(f.parser.IsAckSet(3));
    EXPECT_EQ(f.parser.AckSetCount(3), 1U);
    f.parser.ProcessChunk(Line("++ MCC STORE ++"));
    EXPECT_TRUE(f.parser.IsAckSet(3));
    f.parser.ClearAck(4);
    EXPECT_FALSE(f.parser.IsAckSet(4));
    EXPECT_FALSE(f.parser.IsAckSet(-1));
    EXPECT_EQ(f.parser.AckSetCount(7), 0U);
}

// A listener thread feeds screens while the user-interface thread reads the record, as
// in the program; run under ThreadSanitizer this shows the locking is complete.
TEST(ParserThreads, ListenerWritesWhileTheUiThreadReads) {
    CAhrsState state;
    CLineParser parser(state);
    constexpr int kScreens = 2000;
    std::atomic<bool> writing = true;

    std::thread listener([&] {
        for (int i = 0; i < kScreens; ++i) {
            const std::string screen =
                "\x1b[1;1HPITCH " + std::to_string(i % 10) + "\x1b[2;1HMag Avg " +
                std::to_string((i * 7) % 360) + "\x1b[3;1HSTAT 00CF\x1b[4;1HAv 1." +
                std::to_string(i / 2 % 100) + "\x1b[5;1HGSF XX 1.0" + std::to_string(i % 9) +
                "\x1b[6;1H-12 34\x1b[7;1H++ MCC ERASE ++\x1b";
            // Split every screen at a moving point, as reads do.
            const std::size_t cut = static_cast<std::size_t>(i) % screen.size();
            parser.ProcessChunk(std::string_view(screen).substr(0, cut));
            parser.ProcessChunk(std::string_view(screen).substr(cut));
        }
        writing = false;
    });

    unsigned reads = 0;
    while (writing || reads == 0) {
        const double heading = state.GetAvgHeading();
        EXPECT_GE(heading, 0.0);
        EXPECT_LT(heading, 360.0);
        EXPECT_LE(state.GetAhrsVersion().size(), 4U); // each version twice: taken, then replaced
        EXPECT_LE(state.GetReportedAhrsVersion().size(), 4U);
        (void)state.GetGyroScaleTable();
        (void)state.GetDataText();
        (void)parser.AckSetCount(2);
        if (reads % 64 == 0) {
            state.ClearCounters(); // the user-interface thread writes too
        }
        ++reads;
    }
    listener.join();

    EXPECT_EQ(parser.AckSetCount(2), static_cast<unsigned>(kScreens));
    EXPECT_DOUBLE_EQ(state.GetPitch(), (kScreens - 1) % 10);
    EXPECT_EQ(state.GetStatusWord(), 0xCFU);
}

} // namespace
