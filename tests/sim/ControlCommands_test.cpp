#include "sim/ControlCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

// Each command changes the unit as its state report shows; a bad one changes nothing.
// The swing of the uncalibrated unit shows its error.
TEST(ControlCommands, CommandsChangeTheUnitAndBadOnesNothing) {
    CSimUnit unit(SimUnitConfig(), MagModelParams(), 0.0);
    COutputPacer pacer(20.0, 1);
    CControlCommands control(unit, pacer);
    const auto state = [&] { return control.Execute("state", 1000.0).lines; };
    const std::vector<std::string> swing = control.Execute("swing", 1000.0).lines;
    ASSERT_EQ(swing.size(), 37u);
    ASSERT_EQ(swing.back().rfind("swing max=", 0), 0u) << swing.back();
    EXPECT_GT(std::strtod(swing.back().c_str() + 10, nullptr), 2.0) << "uncalibrated swing";

    const std::pair<const char*, std::string> effects[] = {
        {"heading 90", "Heading=90.00"},
        {"turn 3", "TurnRate=3.00"},
        {"roll -1.5", "Roll=-1.50"},
        {"power off", "Power=off"},
        {"power on", "Power=on"},
        {"mag off", "MagPresent=off"},
        {"freefield on", "FreeField=on"},
        {"fault garble 0.25", "Garble=0.25"},
        {"fault drop-acks on", "DropAcks=on"},
        {"fault version HX410 V9.99", "AhrsVersion=HX410 V9.99"}};
    for (const auto& [command, line] : effects) {
        control.Execute(command, 1000.0);
        const auto lines = state();
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << command;
    }
    const auto before = state();
    for (const char* bad : {"heading north", "fly", "power maybe", "fault garble 2", "pitch 95",
                            "fault drop-acks", "quit now"}) {
        const auto result = control.Execute(bad, 1000.0);
        EXPECT_EQ(result.action, CControlCommands::Action::None) << bad;
        EXPECT_EQ(result.lines.at(0).rfind("error: ", 0), 0u) << bad;
        EXPECT_EQ(state(), before) << bad;
    }
    EXPECT_EQ(control.Execute("unplug", 1000.0).action, CControlCommands::Action::Unplug);
    EXPECT_EQ(control.Execute("quit", 1000.0).action, CControlCommands::Action::Quit);
}
