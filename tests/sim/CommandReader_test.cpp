#include "sim/CommandReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CommandReader, SplitsAtCarriageReturnsAndDropsGarbage) {
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> lines;
        std::string pending;
    } cases[] = {
        {"page with three returns", {"PAGE F\r\r\r"}, {"PAGE F"}, ""},
        {"split across chunks", {"MC", "C N 1.5", "0\rLAT 4"}, {"MCC N 1.50"}, "LAT 4"},
        {"line feeds ignored", {"RESET IMU\r\n\nARINC 1.0\n\r"}, {"RESET IMU", "ARINC 1.0"}, ""},
        {"overlong line dropped", {std::string(300, 'A'), "B\rA429 H\r"}, {"A429 H"}, ""},
        {"endless text without return holds nothing", {std::string(100000, 'x')}, {}, ""}};
    for (const auto& c : cases) {
        CCommandReader reader;
        std::vector<std::string> lines;
        for (const std::string& chunk : c.chunks) {
            for (std::string& l : reader.Feed(chunk)) {
                lines.push_back(std::move(l));
            }
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(reader.Pending(), c.pending) << c.name;
    }
}
