#include "sim/ScreenPainter.h"
#include "sim/TestScreenReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

UnitReadout Readout() {
    UnitReadout r;
    r.pitch = 1.2;
    r.roll = -0.7;
    r.outputHeading = 123.456;
    r.magAvg = 123.456;
    r.magRaw = 121.0;
    r.avg = {11498, -1525, 23349};
    r.magLevel = {11985, -1240};
    r.status = kStatusValid;
    r.mfc = {-638, 1169, -479};
    r.mcc = {0.39, 0.37, 0.63, -0.61};
    r.mount = 9;
    r.latitude = 45.0;
    r.magvar = -3.5;
    r.a429 = 1.0;
    r.arinc = 0.0;
    r.ahrsVersion = "HX410 V1.62";
    r.magVersion = "RQ270 V2.10";
    r.ahrsSerial = "410123";
    r.magSerial = "270456";
    r.clock = "01:02:03";
    return r;
}

struct PageCase {
    char page;
    std::vector<std::string> expected; // whole lines
};

} // namespace

TEST(ScreenPainter, EachPageCarriesItsLines) {
    const PageCase cases[] = {
        {'C',
         {"PITCH 1.20", "ROLL -0.70", "OutHdg 123.46", "Mag Avg 123.46", "Mag Raw 121.00",
          "X AVG 11498", "Y AVG -1525", "Z AVG 23349", "MAG XL 11985", "MAG YL -1240", "MFC X -638",
          "MFC Y 1169", "MFC Z -479", "MCC N 0.39", "MCC E 0.63", "MCC S 0.37", "MCC W -0.61",
          "MNT 9", "STAT 00CF"}},
        {'E', {"Lat 45.00", "Magvar -3.50", "01:02:03", "STAT 00CF", "MCC N 0.39", "MCC W -0.61"}},
        {'F',
         {"Av HX410 V1.62", "Mv RQ270 V2.10", "sn 410123", "Sn 270456", "A429 1.0 HIGH",
          "ARINC 0.0", "MNT 9", "STAT 00CF", "MCC E 0.63"}}};
    for (const PageCase& c : cases) {
        const std::vector<std::string> lines =
            ScreenLines(CScreenPainter::Paint(c.page, Readout(), true));
        for (const std::string& want : c.expected) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end())
                << "page " << c.page << " lacks '" << want << "'";
        }
        // A ':' line is taken as a clock line before the Lat, A429 and ARINC keywords.
        for (const std::string& line : lines) {
            EXPECT_TRUE(line.find(':') == std::string::npos || line == "01:02:03") << line;
        }
    }
}

TEST(ScreenPainter, WarmUpShowsACountDownDataLine) {
    UnitReadout r = Readout();
    r.status = kStatusWarmup | kStatusMagInvalid;
    r.dataLine = "27 SEC WARMUP";
    const std::vector<std::string> lines = ScreenLines(CScreenPainter::Paint('C', r, false));
    EXPECT_EQ(FindLine(lines, "STAT"), "STAT 104D");
    EXPECT_EQ(FindLine(lines, "27"), "27 SEC WARMUP");
    r.dataLine.clear();
    for (const std::string& line : ScreenLines(CScreenPainter::Paint('C', r, false))) {
        EXPECT_FALSE(line[0] == '-' || std::isdigit(static_cast<unsigned char>(line[0]))) << line;
    }
}

TEST(ScreenPainter, EveryLineStartsWithACursorPosition) {
    const std::string bytes = CScreenPainter::Paint('C', Readout(), false);
    ASSERT_EQ(bytes[0], '\x1b');
    for (std::size_t pos = 0; (pos = bytes.find('\x1b', pos)) != std::string::npos; ++pos) {
        EXPECT_EQ(bytes[pos + 1], '[');
    }
    // The parked cursor closes the last value line within the same repaint.
    EXPECT_EQ(bytes.substr(bytes.size() - 7), "\x1b[24;1H");
    EXPECT_EQ(ScreenLines(CScreenPainter::PaintBanner("++ MCC STORE ++")),
              std::vector<std::string>{"++ MCC STORE ++"});
}
