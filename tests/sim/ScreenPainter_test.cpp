#include "device/LineParser.h"
#include "sim/ScreenPainter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

namespace {

const UnitReadout kReadout{.pitch = 1.2,
                           .roll = -0.7,
                           .outputHeading = 123.456,
                           .magAvg = 122.5,
                           .magRaw = 121.0,
                           .avg = {11498, -1525, 23349},
                           .magLevel = {11985, -1240},
                           .status = kStatusValid,
                           .mfc = {-638, 1169, -479},
                           .mcc = {0.39, 0.37, 0.63, -0.61},
                           .mount = 9,
                           .latitude = 45.0,
                           .magvar = -3.5,
                           .a429 = 1.0,
                           .arinc = 0.0,
                           .ahrsVersion = "HX410 V1.62",
                           .magVersion = "RQ270 V2.10",
                           .ahrsSerial = "410123",
                           .magSerial = "270456",
                           .dataLine = "",
                           .clock = "01:02:03"};

} // namespace

// The program's own parser reads every value back from the page that shows it; a stray
// ':' or a line starting with a digit would be read as the clock or the data line.
TEST(ScreenPainter, EveryPageReadsBackThroughTheLineParser) {
    CAhrsState s;
    CLineParser parser(s);
    for (const char page : {'C', 'E', 'F', 'F'}) { // versions are taken when seen twice
        const std::string bytes = CScreenPainter::Paint(page, kReadout, true);
        EXPECT_TRUE(bytes.ends_with("\x1b[24;1H")) << "the last line is left open on " << page;
        parser.ProcessChunk(bytes);
    }
    EXPECT_EQ(std::tuple(s.GetPitch(), s.GetRoll(), s.GetOutputHeading(), s.GetAvgHeading(),
                         s.GetMagRawHeading()),
              std::tuple(1.2, -0.7, 123.46, 122.5, 121.0));
    EXPECT_EQ(std::tuple(std::int16_t(s.GetAvgCount(0)), std::int16_t(s.GetAvgCount(1)),
                         std::int16_t(s.GetAvgCount(2)), std::int16_t(s.GetMagLevel(0)),
                         std::int16_t(s.GetMagLevel(1))),
              std::tuple(11498, -1525, 23349, 11985, -1240));
    EXPECT_EQ(std::tuple(s.GetMagFieldCorrection(0), s.GetMagFieldCorrection(1),
                         s.GetMagFieldCorrection(2), s.GetMountPosition(), s.GetStatusWord()),
              std::tuple(-638, 1169, -479, 9, kStatusValid));
    EXPECT_EQ(std::tuple(s.GetMcc(0), s.GetMcc(1), s.GetMcc(2), s.GetMcc(3)),
              std::tuple(0.39, 0.37, 0.63, -0.61));
    EXPECT_EQ(
        std::tuple(s.GetLatitude(), s.GetMagneticVariation(), s.GetA429Speed(), s.GetArincOutput()),
        std::tuple(45.0, -3.5, 1.0, 0.0));
    EXPECT_EQ(std::tuple(s.GetAhrsVersion(), s.GetMagVersion(), s.GetAhrsSerialNumber(),
                         s.GetMagSerialNumber(), s.GetColonLineText(), s.GetDataText()),
              std::tuple("HX410 V1.62", "RQ270 V2.10", "410123", "270456", "01:02:03", ""));
    parser.ProcessChunk(CScreenPainter::PaintBanner("++ MCC STORE ++"));
    EXPECT_EQ(parser.AckSetCount(3), 1u);

    // While warming up, page C counts down on the data line.
    UnitReadout warming = kReadout;
    warming.status = kStatusWarmup | kStatusMagInvalid;
    warming.dataLine = "27 SEC WARMUP";
    parser.ProcessChunk(CScreenPainter::Paint('C', warming, false));
    EXPECT_EQ(std::tuple(s.GetStatusWord(), s.GetDataText()), std::tuple(0x104Du, "27 SEC WARMUP"));
}
