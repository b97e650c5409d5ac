#include "sim/ControlCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

TEST(ControlCommands, EachCommandIsAnsweredOnOneLine) {
    CSimUnit unit(SimUnitConfig(), MagModelParams(), 0.0);
    COutputPacer pacer(20.0, 1);
    CControlCommands control(unit, pacer);
    for (const char* command :
         {"heading 90", "turn 0", "pitch 2", "roll -1.5", "mag off", "mag on", "freefield on",
          "freefield off", "fault garble 0", "fault drop-acks on", "fault version HX410 V9.99"}) {
        EXPECT_EQ(control.Execute(command, 1000.0).lines,
                  std::vector<std::string>{std::string("ok ") + command});
    }
    for (const char* bad : {"heading north", "fly", "power maybe", "fault garble 2", "pitch 95",
                            "fault drop-acks", "quit now"}) {
        const auto result = control.Execute(bad, 1000.0);
        ASSERT_EQ(result.lines.size(), 1u) << bad;
        EXPECT_EQ(result.lines[0].substr(0, 7), "error: ") << bad;
        EXPECT_EQ(result.action, CControlCommands::Action::None) << bad;
    }
    EXPECT_EQ(control.Execute("unplug", 1000.0).action, CControlCommands::Action::Unplug);
    EXPECT_EQ(control.Execute("quit", 1000.0).action, CControlCommands::Action::Quit);

    const std::vector<std::string> swing = control.Execute("swing", 1000.0).lines;
    ASSERT_EQ(swing.size(), 37u);
    for (int deg = 0; deg < 360; deg += 10) {
        EXPECT_EQ(swing[deg / 10].rfind("swing " + std::to_string(deg) + " heading=", 0), 0u);
    }
    ASSERT_EQ(swing.back().rfind("swing max=", 0), 0u) << swing.back();
    EXPECT_GT(std::strtod(swing.back().c_str() + 10, nullptr), 2.0) << "uncalibrated swing";

    const std::vector<std::string> state = control.Execute("state", 1000.0).lines;
    EXPECT_EQ(state.back(), "end");
    for (const char* line : {"Heading=90.00", "AhrsVersion=HX410 V9.99"}) {
        EXPECT_NE(std::find(state.begin(), state.end(), line), state.end()) << line;
    }
}
