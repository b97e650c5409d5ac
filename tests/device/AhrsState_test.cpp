#include "device/AhrsState.h"
#include "device/AhrsVersion.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

TEST(AhrsState, HeadingFilterUnwrapsAcrossNorthAndTheErrorTakesTheShortWay) {
    struct Case {
        double first, second, heading, rate;
    } const cases[] = {
        {350, 10, 355, 5},    {10, 350, 5, -5},
        {100, 120, 105, 5},   {270, 90, 225, -45}, // 270 and 90 themselves take the plain branch
        {359, 1, 359.5, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " then " << c.second);
        CAhrsState state;
        state.AddAvgHeadingSample(c.first);
        EXPECT_DOUBLE_EQ(state.GetAvgHeading(), c.first);
        EXPECT_DOUBLE_EQ(state.GetAvgHeadingRate(), 0.0);
        state.AddAvgHeadingSample(c.second);
        EXPECT_DOUBLE_EQ(state.GetAvgHeading(), c.heading);
        EXPECT_DOUBLE_EQ(state.GetAvgHeadingRate(), c.rate);
    }
    CAhrsState state;
    for (double sample : {100, 120, 105}) { // the rate filter smooths after the first rate
        state.AddAvgHeadingSample(sample);
    }
    EXPECT_DOUBLE_EQ(state.GetAvgHeading(), 105);
    EXPECT_DOUBLE_EQ(state.GetAvgHeadingRate(), 2.5);

    for (const auto& [output, corrected, error] :
         {std::tuple{355, 5, 10}, {180, 0, -180}, {5, 355, -10}, {0, 180, 180}, {10, 20, 10}}) {
        state.SetOutputHeading(output);
        state.SetMagCorrHeading(corrected);
        EXPECT_DOUBLE_EQ(state.GetHeadingError(), error) << output << " " << corrected;
    }
}

// The four reported texts, each with its setter and its two getters.
struct TextField {
    const char* name;
    void (CAhrsState::*set)(const std::string&);
    std::string (CAhrsState::*taken)() const;
    std::string (CAhrsState::*reported)() const;
};
const TextField kTextFields[] = {
    {"AhrsVersion", &CAhrsState::SetAhrsVersion, &CAhrsState::GetAhrsVersion,
     &CAhrsState::GetReportedAhrsVersion},
    {"MagVersion", &CAhrsState::SetMagVersion, &CAhrsState::GetMagVersion,
     &CAhrsState::GetReportedMagVersion},
    {"AhrsSerialNumber", &CAhrsState::SetAhrsSerialNumber, &CAhrsState::GetAhrsSerialNumber,
     &CAhrsState::GetReportedAhrsSerialNumber},
    {"MagSerialNumber", &CAhrsState::SetMagSerialNumber, &CAhrsState::GetMagSerialNumber,
     &CAhrsState::GetReportedMagSerialNumber},
};

// A line without a checksum: a text is taken once it has arrived twice in a row, so a
// corrupted report, which does not repeat, is never taken and never replaces a taken one.
TEST(AhrsState, ReportedTextsAreTakenOnlyOnceTheyRepeat) {
    const struct {
        const char* what;
        std::vector<std::string> reports;
        std::string taken;
    } cases[] = {
        {"seen once", {"1.62"}, ""},
        {"seen twice", {"1.62", "1.62"}, "1.62"},
        {"noise between two reports", {"1.62", "1.6\xb2", "1.62"}, ""},
        {"noise after a taken text", {"1.62", "1.62", "1.6\xb2", "1.62", "\xff.62"}, "1.62"},
        {"a change seen once", {"1.62", "1.62", "1.45"}, "1.62"},
        {"a change seen twice", {"1.62", "1.62", "1.45", "1.45"}, "1.45"},
    };
    for (const TextField& field : kTextFields) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << field.name << ", " << c.what);
            CAhrsState state;
            for (const std::string& report : c.reports) {
                (state.*field.set)(report);
            }
            EXPECT_EQ((state.*field.taken)(), c.taken);
            EXPECT_EQ((state.*field.reported)(), c.reports.back());
        }
    }
    for (const TextField& field : {kTextFields[2], kTextFields[3]}) {
        SCOPED_TRACE(field.name);
        CAhrsState state;
        for (const char* report : {"12345", "0", "12345", "0"}) { // "0" is no report at all
            (state.*field.set)(report);
        }
        EXPECT_EQ((state.*field.taken)(), "12345");
        EXPECT_EQ((state.*field.reported)(), "12345");
        (state.*field.set)("00");
        (state.*field.set)("00");
        EXPECT_EQ((state.*field.taken)(), "00");
    }
}

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
    for (int bad : {-1, 4, 1000}) {
        state.SetMcc(bad, 9);
        state.SetMagFieldCorrection(bad, 9);
        EXPECT_DOUBLE_EQ(state.GetMcc(bad), 0);
        EXPECT_EQ(state.GetMagFieldCorrection(bad), 0);
    }
    state.SetAvgCount(3, 9);
    state.SetMagLevel(2, 9);
    EXPECT_EQ(state.GetAvgCount(3), 0);
    EXPECT_EQ(state.GetMagLevel(2), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(state.GetMcc(i), 0);
    }
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
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(state.ClassifyAhrsVersion("9.99"), 8);
    }
    EXPECT_EQ(state.ClassifyAhrsVersion("1.26"), 3); // a known one starts the count again
    for (int i = 0; i < 4; ++i) {
        state.ClassifyAhrsVersion("9.99");
        EXPECT_FALSE(state.TakeUnknownVersionReport());
    }
    state.Reset(); // a lost link does not clear the count
    EXPECT_EQ(state.ClassifyAhrsVersion("9.99"), 8);
    EXPECT_EQ(state.GetAhrsVersionClass(), 8);
    EXPECT_TRUE(state.TakeUnknownVersionReport());
    state.ClassifyAhrsVersion("9.99");
    EXPECT_FALSE(state.TakeUnknownVersionReport());
}

// The page classifies the taken version on every tick: only a version the unit reported
// the same twice in a row can end the program, never noise nor a version not yet heard.
TEST(AhrsVersion, OnlyATakenUnknownVersionCountsTowardsTheReport) {
    const struct {
        const char* what;
        std::vector<std::string> perTick; // reports between two ticks
        int versionClass;
        bool reported;
    } cases[] = {
        {"nothing reported", {}, 8, false},
        {"noise only", {"HX410 V\xff.62", "HX410 V\x01.62"}, 8, false},
        {"an unknown version seen once a tick", {"X9.99", "1.62"}, 8, false},
        {"an unknown version", {"X9.99", "X9.99"}, 8, true},
        {"a known version", {"1.62", "1.62"}, 7, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CAhrsState state;
        bool reported = false;
        for (int tick = 0; tick < 10; ++tick) {
            for (const std::string& report : c.perTick) {
                state.SetAhrsVersion(report);
            }
            EXPECT_EQ(state.ClassifyAhrsVersion(state.GetAhrsVersion()), c.versionClass);
            reported = state.TakeUnknownVersionReport() || reported;
        }
        EXPECT_EQ(reported, c.reported);
    }
    // After a lost link the version is heard again only after two reports; meanwhile the
    // other pages still work with the class of the version the unit reported before.
    CAhrsState state;
    state.SetAhrsVersion("1.62");
    state.SetAhrsVersion("1.62");
    EXPECT_EQ(state.ClassifyAhrsVersion(state.GetAhrsVersion()), 7);
    state.Reset();
    state.SetAhrsVersion("1.62");
    EXPECT_EQ(state.ClassifyAhrsVersion(state.GetAhrsVersion()), 8);
    EXPECT_EQ(state.GetAhrsVersionClass(), 7);
}

} // namespace
