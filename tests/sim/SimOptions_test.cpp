#include "sim/SimOptions.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// The words of `line` as the program's arguments.
std::string ParseArgs(const std::string& line, SimOptions& options) {
    std::istringstream in("hx410-sim " + line);
    const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    std::vector<const char*> args;
    for (const std::string& word : words) {
        args.push_back(word.c_str());
    }
    return CSimOptions::Parse(static_cast<int>(args.size()), args.data(), options);
}

} // namespace

TEST(SimOptions, AcceptsBothSpellingsOfValuesAndListsAndRejectsBadInputWithAMessage) {
    SimOptions o;
    ASSERT_EQ(ParseArgs("--com 7 --time-scale=20 --hard-iron 1,-2,3.5 --warmup 0.5", o), "");
    EXPECT_EQ(std::tuple(o.com, o.timeScale, o.model.hardIron.z, o.unit.warmupMs),
              std::tuple(7, 20.0, 3.5, 500.0));
    for (const char* bad :
         {"--com 0", "--com 256", "--com 2.5", "--com", "--time-scale 0", "--latitude 91",
          "--hard-iron 1,2", "--hard-iron 1,2,x", "--soft-iron 1,0", "--noise -1", "--seed -3",
          "--port-dir=", "--whatever 1", "--mount nan", "--loop", "--replay x.cap --panel"}) {
        SimOptions options;
        EXPECT_NE(ParseArgs(bad, options), "") << bad;
    }
}
