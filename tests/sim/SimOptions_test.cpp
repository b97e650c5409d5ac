#include "sim/SimOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string ParseArgs(std::vector<const char*> args, SimOptions& options) {
    args.insert(args.begin(), "hx410-sim");
    return CSimOptions::Parse(static_cast<int>(args.size()), args.data(), options);
}

} // namespace

TEST(SimOptions, AcceptsBothSpellingsOfValuesAndLists) {
    SimOptions o;
    ASSERT_EQ(ParseArgs({"--com", "7", "--time-scale=20", "--hard-iron", "1,-2,3.5", "--warmup",
                         "0.5", "--no-control"},
                        o),
              "");
    EXPECT_EQ(o.com, 7);
    EXPECT_EQ(o.timeScale, 20.0);
    EXPECT_EQ(o.model.hardIron.z, 3.5);
    EXPECT_EQ(o.unit.warmupMs, 500.0);
    EXPECT_FALSE(o.control);
}

TEST(SimOptions, RejectsBadInputWithAMessage) {
    const std::vector<std::vector<const char*>> bad = {{"--com", "0"},
                                                       {"--com", "256"},
                                                       {"--com", "2.5"},
                                                       {"--com"},
                                                       {"--time-scale", "0"},
                                                       {"--time-scale", "fast"},
                                                       {"--latitude", "91"},
                                                       {"--hard-iron", "1,2"},
                                                       {"--hard-iron", "1,2,x"},
                                                       {"--soft-iron", "1,0"},
                                                       {"--noise", "-1"},
                                                       {"--seed", "-3"},
                                                       {"--port-dir", ""},
                                                       {"--whatever", "1"},
                                                       {"--mount", "nan"},
                                                       {"--pitch", "inf"},
                                                       {"--loop"},
                                                       {"--replay", "x.cap", "--panel"}};
    for (const auto& args : bad) {
        SimOptions o;
        EXPECT_NE(ParseArgs(args, o), "") << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}
