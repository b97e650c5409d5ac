#include "device/AhrsState.h"
#include "device/AhrsVersion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A corrupted report, which does not repeat, is never taken and never replaces a taken one.
TEST(AhrsState, ReportedTextsAreTakenOnlyOnceTheyRepeat) {
    const struct {
        std::vector<std::string> reports;
        std::string taken;
    } cases[] = {
        {{"1.62"}, ""},
        {{"1.62", "1.6\xb2", "1.62"}, ""},
        {{"1.62", "1.62", "1.6\xb2", "1.62", "\xff.62"}, "1.62"},
        {{"1.62", "1.62", "1.45"}, "1.62"},
        {{"1.62", "1.62", "1.45", "1.45"}, "1.45"},
    };
    for (const auto& c : cases) {
        CAhrsState state;
        for (const std::string& report : c.reports) {
            state.SetAhrsVersion(report);
        }
        EXPECT_EQ(state.GetAhrsVersion(), c.taken) << c.reports.size();
        EXPECT_EQ(state.GetReportedAhrsVersion(), c.reports.back());
    }
    CAhrsState state;
    for (const char* report : {"12345", "0", "12345", "0"}) { // "0" is no report at all
        state.SetAhrsSerialNumber(report);
        state.SetMagSerialNumber(report);
    }
    EXPECT_EQ(state.GetAhrsSerialNumber(), "12345");
    EXPECT_EQ(state.GetReportedMagSerialNumber(), "12345");
    EXPECT_EQ(state.GetMagSerialNumber(), "12345");
}

// A lost link keeps nothing of the session but the serial numbers and the version class.
TEST(AhrsState, ResetRestoresResetValuesAndKeepsTheKeptFields) {
    CAhrsState state;
    for (int i = 0; i < 2; ++i) {
        state.SetAhrsVersion("1.52");
        state.SetAhrsSerialNumber("S1");
        state.SetMagSerialNumber("M1");
    }
    state.SetAhrsSerialNumber("S2"); // once before the loss and once after: not taken
    state.SetAhrsVersionClass(4);
    state.SetArincOutput(1);
    state.AddAvgHeadingSample(90);
    state.SetMcc(1, 2.5);
    state.SetLatitude(47.25);
    state.ClearCounters(); // a value read stays known until the link is lost
    EXPECT_EQ(state.GetLatitudeCount(), 1u);

    state.Reset();

    EXPECT_EQ(state.GetReportedAhrsVersion(), "");
    state.SetAhrsVersion("1.52");
    EXPECT_EQ(state.GetAhrsVersion(), "") << "a report before the loss does not count after it";
    state.SetAhrsSerialNumber("S2");
    EXPECT_DOUBLE_EQ(state.GetArincOutput(), -1.0);
    EXPECT_DOUBLE_EQ(state.GetMcc(1), 0);
    EXPECT_EQ(state.GetLatitudeCount(), 0u); // the 0 it reads is not the unit's
    EXPECT_EQ(state.GetAhrsSerialNumber(), "S1");
    EXPECT_EQ(state.GetMagSerialNumber(), "M1");
    EXPECT_EQ(state.GetAhrsVersionClass(), 4);
    // The filter starts again: the first sample sets the heading directly.
    state.AddAvgHeadingSample(200);
    EXPECT_DOUBLE_EQ(state.GetAvgHeading(), 200);
    EXPECT_DOUBLE_EQ(state.GetAvgHeadingRate(), 0);
}

TEST(AhrsState, IndicesOutOfRangeReadZeroAndWriteNothing) {
    CAhrsState state;
    for (int bad : {-1, 4}) {
        state.SetMcc(bad, 9);
        EXPECT_DOUBLE_EQ(state.GetMcc(bad), 0);
    }
    state.SetMagFieldCorrection(3, 9);
    EXPECT_EQ(state.GetMagFieldCorrection(3), 0);
    EXPECT_EQ(state.GetMcc(0) + state.GetMcc(3), 0) << "no neighbour was written";
}

TEST(AhrsVersion, ClassesByTextWithEarlierRulesFirst) {
    const struct {
        const char* text;
        int versionClass;
    } cases[] = {
        {"1.00", 0},          {"V1.10 and 1.26", 1}, {"1.25a", 2}, {"1.26", 3},  {"1.35b", 4},
        {"x1.49", 5},         {"1.50", 6},           {"1.69", 7},  {"1.3", 8},   {"1.3x", 8},
        {"1.39 1.40", 4},     {"1.70", 8},           {"", 8},      {"-----", 8}, {"1.29", 8},
        {"1.5 then 1.55", 8}, // only the first occurrence of a prefix is read
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AhrsVersionClassOf(c.text), c.versionClass) << c.text;
    }
}

TEST(AhrsVersion, FiveUnknownVersionsInARowAreReportedOnce) {
    CAhrsState state;
    for (const char* version : {"9.99", "9.99", "9.99", "9.99", "1.26", "9.99", "9.99", "9.99"}) {
        state.ClassifyAhrsVersion(version);
    }
    state.ClassifyAhrsVersion("9.99");
    EXPECT_FALSE(state.TakeUnknownVersionReport());
    state.Reset();
    EXPECT_EQ(state.ClassifyAhrsVersion("9.99"), 8);
    EXPECT_TRUE(state.TakeUnknownVersionReport());
    state.ClassifyAhrsVersion("9.99");
    EXPECT_FALSE(state.TakeUnknownVersionReport());
    // Until the version is heard again the pages keep the class of the one before the loss.
    state.SetAhrsVersion("1.62");
    state.SetAhrsVersion("1.62");
    EXPECT_EQ(state.ClassifyAhrsVersion(state.GetAhrsVersion()), 7);
    state.Reset();
    EXPECT_EQ(state.ClassifyAhrsVersion(state.GetAhrsVersion()), 8);
    EXPECT_EQ(state.GetAhrsVersionClass(), 7);
}

} // namespace
