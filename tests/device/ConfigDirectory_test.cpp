#include "device/ConfigDirectory.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfigDirectory, OnlyAnAbsoluteConfigHomeOrHomeIsUsed) {
    const struct {
        const char* config; // nullptr: unset
        const char* home;
        const char* expected; // empty: no directory
    } cases[] = {{"/cfg//", "/home/tech", "/cfg/hx410-install"},
                 {"/", "/home/tech", "/hx410-install"},
                 {"", "/home/tech/", "/home/tech/.config/hx410-install"},
                 {"relative/cfg", "/home/tech", "/home/tech/.config/hx410-install"},
                 {nullptr, "/", "/.config/hx410-install"},
                 {nullptr, "relative/home", ""},
                 {"relative/cfg", "", ""},
                 {nullptr, nullptr, ""}};
    for (const auto& c : cases) {
        const ConfigDirectory directory = ConfigDirectory::From(c.config, c.home);
        EXPECT_EQ(directory.path, c.expected)
            << (c.config ? c.config : "unset") << " " << (c.home ? c.home : "unset");
        EXPECT_EQ(directory.error.empty(), !directory.path.empty());
    }
}

} // namespace
