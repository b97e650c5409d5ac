#include "device/LineParser.h"
#include "sim/ScreenPainter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

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

} // namespace

// The program's own parser reads every value back from the page that shows it; a stray
// ':' or a line starting with a digit would be read as the clock or the data line.
TEST(ScreenPainter, EveryPageReadsBackThroughTheLineParser) {
    CAhrsState s;
    CLineParser parser(s);
    for (const char page : {'C', 'E', 'F', 'F'}) { // versions are taken when seen twice
        const std::string bytes = CScreenPainter::Paint(page, Readout(), true);
        EXPECT_TRUE(bytes.ends_with("\x1b[24;1H")) << "the last line is left open on " << page;
        parser.ProcessChunk(bytes);
    }
    const std::pair<double, double> values[] = {{s.GetPitch(), 1.2},
                                                {s.GetRoll(), -0.7},
                                                {s.GetOutputHeading(), 123.46},
                                                {s.GetAvgHeading(), 123.46},
                                                {s.GetMagRawHeading(), 121.0},
                                                {std::int16_t(s.GetAvgCount(0)), 11498},
                                                {std::int16_t(s.GetAvgCount(1)), -1525},
                                                {std::int16_t(s.GetAvgCount(2)), 23349},
                                                {std::int16_t(s.GetMagLevel(0)), 11985},
                                                {std::int16_t(s.GetMagLevel(1)), -1240},
                                                {s.GetMagFieldCorrection(0), -638},
                                                {s.GetMagFieldCorrection(1), 1169},
                                                {s.GetMagFieldCorrection(2), -479},
                                                {s.GetMcc(0), 0.39},
                                                {s.GetMcc(1), 0.37},
                                                {s.GetMcc(2), 0.63},
                                                {s.GetMcc(3), -0.61},
                                                {s.GetMountPosition(), 9},
                                                {s.GetStatusWord(), kStatusValid},
                                                {s.GetLatitude(), 45.0},
                                                {s.GetMagneticVariation(), -3.5},
                                                {s.GetA429Speed(), 1.0},
                                                {s.GetArincOutput(), 0.0}};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(values[i].first, values[i].second) << "value " << i;
    }
    EXPECT_EQ(std::tuple(s.GetAhrsVersion(), s.GetMagVersion(), s.GetAhrsSerialNumber(),
                         s.GetMagSerialNumber(), s.GetColonLineText(), s.GetDataText()),
              std::tuple("HX410 V1.62", "RQ270 V2.10", "410123", "270456", "01:02:03", ""));
    parser.ProcessChunk(CScreenPainter::PaintBanner("++ MCC STORE ++"));
    EXPECT_EQ(parser.AckSetCount(3), 1u);
}

TEST(ScreenPainter, WarmUpShowsACountDownDataLine) {
    UnitReadout r = Readout();
    r.status = kStatusWarmup | kStatusMagInvalid;
    for (const char* dataLine : {"27 SEC WARMUP", ""}) {
        r.dataLine = dataLine;
        CAhrsState s;
        CLineParser(s).ProcessChunk(CScreenPainter::Paint('C', r, false));
        EXPECT_EQ(std::tuple(s.GetStatusWord(), s.GetDataText()), std::tuple(0x104Du, dataLine));
    }
}
