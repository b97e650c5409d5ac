#include "device/LineParser.h"

#include <atomic>
#include <cmath>
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

TEST(LineAssembly, LineSplitAcrossChunksCompletesAtTheNextEscape) {
    Fixture f;
    EXPECT_TRUE(f.parser.ProcessChunk(kEsc + "[1;1HPITCH   2.50" + kEsc + "[2;1HROL"));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 2.5);
    EXPECT_EQ(f.parser.Pending(), "[2;1HROL");
    EXPECT_TRUE(f.parser.ProcessChunk("L -1.25" + kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetRoll(), -1.25);
    EXPECT_EQ(f.parser.Pending(), "");
}

TEST(LineAssembly, BlankDueAtTheEndOfAChunkIsKept) {
    Fixture f;
    EXPECT_FALSE(f.parser.ProcessChunk(kEsc + "  Mag\t\r\n"));
    EXPECT_EQ(f.parser.Pending(), "Mag ");
    EXPECT_FALSE(f.parser.ProcessChunk("   Avg"));
    EXPECT_TRUE(f.parser.ProcessChunk("  \r\n 42.5 \r\n" + kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetAvgHeading(), 42.5);
}

TEST(LineAssembly, CrAndLfDoNotEndALine) {
    Fixture f;
    // Without an escape nothing is complete, however many line ends arrive.
    EXPECT_FALSE(f.parser.ProcessChunk("PITCH 1\r\nROLL 2\r\n"));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 0);
    EXPECT_TRUE(f.parser.ProcessChunk(kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 1); // "PITCH 1 ROLL 2" reads 1
}

TEST(LineAssembly, ChunkEndsAtItsFirstNul) {
    Fixture f;
    const std::string chunk = Line("PITCH 3") + std::string(1, '\0') + Line("ROLL 4");
    EXPECT_TRUE(f.parser.ProcessChunk(chunk));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 3);
    EXPECT_DOUBLE_EQ(f.state.GetRoll(), 0);
}

TEST(LineAssembly, CursorSequencesAreRemoved) {
    Fixture f;
    EXPECT_TRUE(f.parser.ProcessChunk(kEsc + "[3;1H[3;10HAv 1.52[K" + kEsc));
    // "[K" has no later 'H': the rest of the line goes.
    EXPECT_EQ(f.state.GetAhrsVersion(), "1.52");
    EXPECT_FALSE(f.parser.ProcessChunk(kEsc + "[1;1H" + kEsc + "   " + kEsc));
}

TEST(LineAssembly, HighBytesPassThroughAndAreNotWhitespace) {
    Fixture f;
    EXPECT_TRUE(f.parser.ProcessChunk(Line("Mv 2.0\xa0\xff")));
    EXPECT_EQ(f.state.GetMagVersion(), "2.0\xa0\xff");
}

TEST(LineAssembly, OverlongUnterminatedLineIsDroppedAndParsingResumes) {
    Fixture f;
    EXPECT_TRUE(f.parser.ProcessChunk(Line("PITCH 1")));
    const std::string junk(1000, 'x');
    for (std::size_t fed = 0; fed < 3 * CLineParser::kMaxPending; fed += junk.size()) {
        EXPECT_FALSE(f.parser.ProcessChunk(junk));
        EXPECT_LE(f.parser.Pending().size(), CLineParser::kMaxPending);
    }
    // The dropped line's tail does not glue onto the next line.
    EXPECT_TRUE(f.parser.ProcessChunk("PITCH 9" + kEsc + "PITCH 2" + kEsc));
    EXPECT_DOUBLE_EQ(f.state.GetPitch(), 2);
    EXPECT_EQ(f.parser.Pending(), "");
}

TEST(LineAssembly, LineJustBelowTheBoundIsKept) {
    Fixture f;
    const std::string text = "Av " + std::string(CLineParser::kMaxPending - 4, 'v');
    EXPECT_TRUE(f.parser.ProcessChunk(kEsc + text + kEsc));
    EXPECT_EQ(f.state.GetAhrsVersion().size(), CLineParser::kMaxPending - 4);
}

// One dispatch case: a line, whether it counts as recognised, and what it must leave
// in the record.
struct DispatchCase {
    std::string line;
    bool recognised;
    std::function<void(const CAhrsState&)> check;
};

void RunCases(const std::vector<DispatchCase>& cases) {
    for (const DispatchCase& c : cases) {
        Fixture f;
        EXPECT_EQ(f.parser.ProcessChunk(Line(c.line)), c.recognised) << c.line;
        SCOPED_TRACE(c.line);
        c.check(f.state);
    }
}

TEST(Dispatch, TextAndIdentityRows) {
    RunCases({
        {"Av 1.52 beta", true, [](auto& s) { EXPECT_EQ(s.GetAhrsVersion(), "1.52 beta"); }},
        {"Mv -----", true, [](auto& s) { EXPECT_EQ(s.GetMagVersion(), "-----"); }},
        {"sn 40123", true, [](auto& s) { EXPECT_EQ(s.GetAhrsSerialNumber(), "40123"); }},
        {"Sn 0", true, [](auto& s) { EXPECT_EQ(s.GetMagSerialNumber(), ""); }},
        {"Sn 00", true, [](auto& s) { EXPECT_EQ(s.GetMagSerialNumber(), "00"); }},
        {"Av [1;1H", true, [](auto& s) { EXPECT_EQ(s.GetAhrsVersion(), ""); }},
        {"AN 1", true, [](auto& s) { EXPECT_TRUE(s.GetAnFlag()); }},
        {"AN 10", true, [](auto& s) { EXPECT_FALSE(s.GetAnFlag()); }},
        {"Avx 1", false, [](auto& s) { EXPECT_EQ(s.GetAhrsVersion(), ""); }},
        {"10:22:05", true, [](auto& s) { EXPECT_EQ(s.GetColonLineText(), "10:22:05"); }},
        {"Lat: 45.5", true,
         [](auto& s) {
             EXPECT_EQ(s.GetColonLineText(), "");
             EXPECT_DOUBLE_EQ(s.GetLatitude(), 0);
         }},
        {"-3.5", true, [](auto& s) { EXPECT_EQ(s.GetDataText(), "-3.5"); }},
        {"123 ABC", true, [](auto& s) { EXPECT_EQ(s.GetDataText(), "123 ABC"); }},
        {"+3.5", false, [](auto& s) { EXPECT_EQ(s.GetDataText(), ""); }},
        {"hello", false, [](auto&) {}},
    });
}

TEST(Dispatch, AttitudeAndHeadingRows) {
    RunCases({
        {"PITCH 2.5", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetPitch(), 2.5); }},
        {"ROLL T 12", false, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 0); }},
        {"PITCH T 12", false, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetPitch(), 0); }},
        {"ROLLS 3", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 3); }},
        {"ROLL +3.5e1deg", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 35); }},
        {"ROLL 4e", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 4); }},
        {"ROLL abc", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 0); }},
        {"OutHdg 359.9", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetOutputHeading(), 359.9); }},
        {"Mag Avg 123.4", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetAvgHeading(), 123.4); }},
        {"Mag Avg 360", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetAvgHeading(), 0); }},
        {"Mag Raw 200", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagRawHeading(), 200); }},
        {"MagCorr 5", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagCorrHeading(), 5); }},
        {"Magvar -3.25", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagneticVariation(), -3.25); }},
        {"Lat 45.5", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetLatitude(), 45.5); }},
        {"A429 1", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetA429Speed(), 1); }},
        {"ARINC 0", true,
         [](auto& s) {
             EXPECT_DOUBLE_EQ(s.GetArincOutput(), 0);
             EXPECT_EQ(s.GetArincCount(), 1U);
         }},
        {"BLK 1 2.5", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetBlkValue(), 2.5); }},
        {"BLK 7", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetBlkValue(), 7); }},
        {"MNT 10", true, [](auto& s) { EXPECT_EQ(s.GetMountPosition(), 10); }},
        {"MNT 9.7", true, [](auto& s) { EXPECT_EQ(s.GetMountPosition(), 9); }},
        {"STAT 00CF", true,
         [](auto& s) {
             EXPECT_EQ(s.GetStatusWord(), 0xCFU);
             EXPECT_TRUE(s.GetStatusBit0());
             EXPECT_EQ(s.GetStatusCount(), 1U);
         }},
        {"STAT 0x1000", true, [](auto& s) { EXPECT_EQ(s.GetStatusWord(), 0x1000U); }},
    });
}

TEST(Dispatch, SensorScaleLevelAndCorrectionRows) {
    RunCases({
        {"X ACCEL 0.01", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetAccel(0), 0.01); }},
        {"Y GYRO -1.5", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetGyro(1), -1.5); }},
        {"Z BIAS 2", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetGyroBias(2), 2); }},
        {"Y AVG 1234.9", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(1), 1234); }},
        {"Z AVG -1", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(2), 65535); }},
        {"X AVG 70000", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(0), 70000 - 65536); }},
        {"X TEMP 3", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetAccel(0), 0); }},
        {"ASF XXN 1.5", true,
         [](auto& s) {
             EXPECT_EQ(s.GetAccelScaleTable(), (CAhrsState::ScaleTable{{0, 1.5}}));
         }},
        {"GSF ZY 2", true,
         [](auto& s) {
             EXPECT_EQ(s.GetGyroScaleTable(), (CAhrsState::ScaleTable{{1100, 2}}));
         }},
        {"GSF QQ 2", true,
         [](auto& s) {
             EXPECT_EQ(s.GetGyroScaleTable(), (CAhrsState::ScaleTable{{1500, 2}}));
         }},
        {"XX3P 1.002", true,
         [](auto& s) {
             EXPECT_EQ(s.GetGyroScaleTable(), (CAhrsState::ScaleTable{{103, 1.002}}));
         }},
        {"ZZ300N 1", true,
         [](auto& s) {
             EXPECT_EQ(s.GetGyroScaleTable(), (CAhrsState::ScaleTable{{400 + 300 % 256, 1}}));
         }},
        {"YY 4", true,
         [](auto& s) {
             EXPECT_EQ(s.GetGyroScaleTable(), (CAhrsState::ScaleTable{{1500, 4}}));
         }},
        {"XX3P", true, [](auto& s) { EXPECT_TRUE(s.GetGyroScaleTable().empty()); }},
        {"MAG XL 12", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(0), 12); }},
        {"MAG XL 1", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(0), 0); }},
        {"MAG YL -2", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(1), 65534); }},
        {"MAG ZL 12", true, [](auto& s) { EXPECT_EQ(s.GetMagLevel(0), 0); }},
        {"MFC Y -3", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(1), -3); }},
        {"MFC Z 32767", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(2), 32767); }},
        {"MFC X 32768", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(0), 0); }},
        {"MFC X -32769", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(0), 0); }},
        {"MFC Q 5", true, [](auto& s) { EXPECT_EQ(s.GetMagFieldCorrection(0), 0); }},
        {"MCC W 1.5 N 2", true,
         [](auto& s) {
             EXPECT_DOUBLE_EQ(s.GetMcc(0), 1.5);
             EXPECT_DOUBLE_EQ(s.GetMcc(3), 0);
         }},
        {"MCC W 1.5", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMcc(3), 1.5); }},
        {"MCC S -0.75", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMcc(1), -0.75); }},
        {"MCCX", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMcc(0), 0); }},
    });
}

TEST(Dispatch, BannersSetTheirEvents) {
    const struct {
        const char* line;
        int event;
    } cases[] = {{"** ACCEL NULL COMPLETE **", 0},
                 {"** GYRO NULL COMPLETE **", 1},
                 {"++ MCC ERASE ++", 2},
                 {"++ MCC STORE ++", 3}};
    for (const auto& c : cases) {
        Fixture f;
        EXPECT_TRUE(f.parser.ProcessChunk(Line(c.line)));
        for (int i = 0; i < CLineParser::kAckEventCount; ++i) {
            EXPECT_EQ(f.parser.AckSetCount(i), i == c.event ? 1U : 0U) << c.line;
        }
        EXPECT_EQ(f.state.GetMcc(0), 0) << "a banner is not an MCC line";
    }
}

// Garbled values must never reach the record, and converting them must be defined.
TEST(Dispatch, UnreadableValuesLeaveTheRecordUnchanged) {
    RunCases({
        {"PITCH nan", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetPitch(), 0); }},
        {"ROLL inf", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetRoll(), 0); }},
        {"Lat 1e400", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetLatitude(), 0); }},
        {"MCC N -1e309", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMcc(0), 0); }},
        {"Mag Avg 361", true,
         [](auto& s) {
             EXPECT_DOUBLE_EQ(s.GetAvgHeading(), 0);
             EXPECT_EQ(s.GetAvgHeadingCount(), 0U);
             EXPECT_TRUE(s.GetFirstHeading());
         }},
        {"Mag Avg -0.5", true, [](auto& s) { EXPECT_EQ(s.GetAvgHeadingCount(), 0U); }},
        {"Mag Raw 1e300", true, [](auto& s) { EXPECT_DOUBLE_EQ(s.GetMagRawHeading(), 0); }},
        {"Mag Avg", true, [](auto& s) { EXPECT_EQ(s.GetAvgHeadingCount(), 0U); }},
        {"X AVG 1e300", true, [](auto& s) { EXPECT_EQ(s.GetAvgCount(0), 0); }},
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

TEST(Dispatch, UnreadableStatusKeepsThePreviousWord) {
    Fixture f;
    EXPECT_TRUE(f.parser.ProcessChunk(Line("STAT CF") + Line("STAT zz")));
    EXPECT_EQ(f.state.GetStatusWord(), 0xCFU);
    EXPECT_TRUE(f.state.GetStatusBit0());
    EXPECT_EQ(f.state.GetStatusCount(), 2U);
}

TEST(Dispatch, GarbledHeadingCannotPushTheFilterOutOfRange) {
    Fixture f;
    f.parser.ProcessChunk(Line("Mag Avg 10") + Line("Mag Avg 99999") + Line("Mag Avg 20"));
    EXPECT_DOUBLE_EQ(f.state.GetAvgHeading(), 12.5);
    EXPECT_EQ(f.state.GetAvgHeadingCount(), 2U);
}

TEST(Acknowledgement, BannerBeforeTheWaitDoesNotCount) {
    CAhrsState state;
    CLineParser parser(state, CTimeBase(1000.0));
    parser.ProcessChunk(Line("++ MCC STORE ++"));
    EXPECT_FALSE(parser.WaitForAck(3, 100)); // 0.1 ms of real time
    EXPECT_EQ(parser.AckSetCount(3), 1U);
}

TEST(Acknowledgement, BannerDuringTheWaitIsSeen) {
    CAhrsState state;
    CLineParser parser(state);
    std::atomic<bool> done = false;
    std::thread waiter([&] {
        EXPECT_TRUE(parser.WaitForAck(2, 60000));
        done = true;
    });
    // Keep sending until the waiter has seen one sent after its wait began.
    while (!done) {
        parser.ProcessChunk(Line("++ MCC ERASE ++"));
        std::this_thread::yield();
    }
    waiter.join();
}

TEST(Acknowledgement, BadIndexFailsAtOnce) {
    CAhrsState state;
    CLineParser parser(state);
    EXPECT_FALSE(parser.WaitForAck(4, 1e12));
    EXPECT_FALSE(parser.WaitForAck(-1, 1e12));
    EXPECT_EQ(parser.AckSetCount(7), 0U);
}

} // namespace
