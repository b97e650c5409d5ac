#include "sim/SimOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// `line` split at each blank into the program's arguments ("a " ends with an empty one).
std::string ParseArgs(const std::string& line, SimOptions& options) {
    std::vector<std::string> words{"hx410-sim"};
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = line.find(' ', start);
        words.push_back(line.substr(start, end - start));
    }
    std::vector<const char*> args;
    for (const std::string& word : words) {
        args.push_back(word.c_str());
    }
    return CSimOptions::Parse(static_cast<int>(args.size()), args.data(), options);
}

} // namespace

TEST(SimOptions, AcceptsBothSpellingsOfValuesAndLists) {
    SimOptions o;
    ASSERT_EQ(
        ParseArgs("--com 7 --time-scale=20 --hard-iron 1,-2,3.5 --warmup 0.5 --no-control", o), "");
    EXPECT_EQ(o.com, 7);
    EXPECT_EQ(o.timeScale, 20.0);
    EXPECT_EQ(o.model.hardIron.z, 3.5);
    EXPECT_EQ(o.unit.warmupMs, 500.0);
    EXPECT_FALSE(o.control);
}

TEST(SimOptions, RejectsBadInputWithAMessage) {
    for (const char* bad :
         {"--com 0", "--com 256", "--com 2.5", "--com", "--time-scale 0", "--time-scale fast",
          "--latitude 91", "--hard-iron 1,2", "--hard-iron 1,2,x", "--soft-iron 1,0", "--noise -1",
          "--seed -3", "--port-dir ", "--whatever 1", "--mount nan", "--pitch inf", "--loop",
          "--replay x.cap --panel"}) {
        SimOptions o;
        EXPECT_NE(ParseArgs(bad, o), "") << bad;
    }
}
