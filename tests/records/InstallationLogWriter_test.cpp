#include "records/InstallationLogWriter.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace {

std::tm Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_hour = hour;
    date.tm_min = minute;
    date.tm_sec = second;
    return date;
}

const std::tm kNow = Date(2014, 3, 9, 7, 5, 3);

// Every correction and table differs by heading, so a heading out of order shows.
const InstallationValues kKnown{.ahrsSerialNumber = "A1234",
                                .ahrsVersion = "3.10",
                                .magSerialNumber = "M5678",
                                .magVersion = "2.01",
                                .programVersion = "1.0.0",
                                .versionClass = 5,
                                .tailNumber = "N123AB",
                                .shopName = "Aero Shop",
                                .installer = "J. Smith",
                                .mountPosition = 9,
                                .mountLabel = "Connector Forward",
                                .freeField = std::array<std::int16_t, 3>{-120, 0, 4521},
                                .magFieldCorrection = {15, -7, 0},
                                .mcc = {1.25, -0.004, 2.5, -3.0},
                                .magneticVariation = -12.3,
                                .latitude = 44.8765,
                                .rawMagX = {1011.0, 1012.0, 1013.0, 1014.0},
                                .rawMagY = {-2101.0, -2102.0, -2103.0, -2104.0},
                                .rawMagZ = {0.0, 31.5, -31.5, 3.0},
                                .effPitch = {1.234, -1.236, 0.001, 10.0},
                                .effRoll = {-0.5, 0.75, 3.14159, -2.71828},
                                .levelMagX = {500.111, 501.222, 502.333, 503.444},
                                .levelMagY = {-600.0, -601.0, -602.0, -603.0},
                                .levelMagZ = {7000.996, 7010.0, 7020.0, 7030.0},
                                .swing = {},
                                .swingToleranceDeg = CCompassSwing::kDefaultToleranceDeg};

std::size_t LineCount(const std::string& text) {
    return std::ranges::count(text, '\n');
}

// A mismatch is shown as a line-by-line diff.
TEST(InstallationLogWriterTest, TextMatchesTheExpectedLog) {
    EXPECT_EQ(CInstallationLogWriter::Text(kKnown, kNow),
              ReadText(HX410_TEST_DATA_DIR "/installation-log.expected"));
}

// Lines that depend on the version class, the measurement file, the mount list and whether
// the unit's latitude and magnetic variation were read (never a 0 the unit does not hold).
TEST(InstallationLogWriterTest, OptionalLinesFollowVersionClassFileAndMountLabel) {
    const struct {
        int versionClass;
        bool file, label, location, freeFieldLines, biasLines;
    } cases[] = {{0, true, true, true, false, false}, {1, true, true, false, false, false},
                 {2, true, true, true, false, false}, {8, true, true, true, false, false},
                 {3, false, true, true, false, true}, {7, false, false, true, false, true},
                 {3, true, false, true, true, true},  {7, true, true, true, true, true},
                 {6, true, true, false, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.versionClass);
        InstallationValues v = kKnown;
        v.versionClass = c.versionClass;
        v.freeField = c.file ? kKnown.freeField : std::nullopt;
        v.mountLabel = c.label ? kKnown.mountLabel : std::nullopt;
        v.magneticVariation = c.location ? kKnown.magneticVariation : std::nullopt;
        v.latitude = c.location ? kKnown.latitude : std::nullopt;
        const std::string text = CInstallationLogWriter::Text(v, kNow);
        const auto has = [&text](const char* label) { return text.find(label) != text.npos; };
        EXPECT_EQ(has("\nFree-Field X: -120\nFree-Field Y: 0\nFree-Field Z: 4521\n"),
                  c.freeFieldLines);
        EXPECT_EQ(has("\nSensor Bias X: 15\nSensor Bias Y: -7\nSensor Bias Z: 0\n"), c.biasLines);
        EXPECT_EQ(has("\nMount Position: "), c.label);
        EXPECT_TRUE(has(c.location ? "\nMagnetic Variance: -12.30\nLatitude: 44.88\n"
                                   : "\nMagnetic Variance: not read\nLatitude: not read\n"));
        EXPECT_EQ(LineCount(text), 52u + 3 * c.freeFieldLines + 3 * c.biasLines + c.label);
    }
}

// Texts come from people and from the unit: whatever they hold, every line of the log is
// one of its own and no byte of a text steers a terminal that shows the log.
TEST(InstallationLogWriterTest, TextsCannotForgeLinesOrCarryControlCharacters) {
    InstallationValues v = kKnown;
    v.tailNumber = "N1\nCompass Correction North: 99.99";
    v.shopName = "Shop\r\x1b[2J\x1b]0;title\x07";
    v.installer = std::string("A\0B\x7F\xC2\x85\xE2\x80\xA8\xE2\x80\xA9", 13);
    v.ahrsSerialNumber = "A\t1";
    v.magSerialNumber = "M\xFC\x9B"
                        "2"; // 8-bit bytes: a Latin-1 letter and a terminal's CSI
    v.mountLabel = "Mount\fPosition";
    const std::string text = CInstallationLogWriter::Text(v, kNow);
    EXPECT_EQ(LineCount(text), LineCount(CInstallationLogWriter::Text(kKnown, kNow)));
    EXPECT_EQ(text.find("\nCompass Correction North: 99.99"), text.npos);
    for (const char* line :
         {"\nTail Number: N1Compass Correction North: 99.99\n", "\nShop Name  : Shop[2J]0;title\n",
          "\nInstaller  : AB\n", "\nHX410 Serial Number: A1\n",
          "\nRQ270 Serial Number: M\xC3\xBC"
          "2\n",
          "\nMount Position: MountPosition\n", "\nCompass Correction North: 1.25\n"}) {
        EXPECT_NE(text.find(line), text.npos) << line;
    }
}

TEST(InstallationLogWriterTest, ProposedFileName) {
    const std::string prefix = "Korvan HX410 AHRS Installation Report - ";
    const struct {
        std::string tail;
        std::tm date;
        std::string expected;
    } cases[] = {{"N123AB", Date(2014, 3, 5), prefix + "N123AB 03052014.log"},
                 {"", Date(2014, 12, 31), prefix + " 12312014.log"},
                 {"N1/2\\3", Date(2009, 1, 1), prefix + "N1_2_3 01012009.log"},
                 {std::string(300, 'N'), Date(2014, 3, 5),
                  prefix + std::string(202, 'N') + " 03052014.log"}}; // 255 bytes at most
    for (const auto& c : cases) {
        EXPECT_EQ(CInstallationLogWriter::ProposedFileName(c.tail, c.date), c.expected);
    }
}

TEST(InstallationLogWriterTest, AppendingTwiceKeepsBothLogs) {
    CTempDir dir;
    const std::string path = dir / "installation.log";
    InstallationValues second = kKnown;
    second.tailNumber = "N9";
    const std::tm later = Date(2014, 3, 10, 23, 59, 59);
    ASSERT_EQ(CInstallationLogWriter::Append(path, kKnown, kNow), "");
    ASSERT_EQ(CInstallationLogWriter::Append(path, second, later), "");
    EXPECT_EQ(ReadText(path), CInstallationLogWriter::Text(kKnown, kNow) +
                                  CInstallationLogWriter::Text(second, later));
}

TEST(InstallationLogWriterTest, FailuresGiveTheReasonAndLeaveFilesAsTheyWere) {
    CTempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    WriteText(dir / "earlier.log", "an earlier log\n");
    const struct {
        std::string path;
        int error;
        rlim_t sizeLimit;
    } cases[] = {{dir / "absent/installation.log", ENOENT, RLIM_INFINITY},
                 {dir.Path(), EISDIR, RLIM_INFINITY},
                 {dir / "fifo", ENXIO, RLIM_INFINITY}, // no reader: no endless wait
                 {"/dev/full", ENOSPC, RLIM_INFINITY},
                 {dir / "earlier.log", EFBIG, 100}, // a disk that takes only part of it
                 {dir / "new.log", EFBIG, 100}};
    for (const auto& c : cases) {
        if (c.path == "/dev/full" && ::access("/dev/full", W_OK) != 0) {
            continue;
        }
        std::string reason;
        {
            const CFileSizeLimit limit(c.sizeLimit);
            reason = CInstallationLogWriter::Append(c.path, kKnown, kNow);
        }
        EXPECT_EQ(reason, std::generic_category().message(c.error)) << c.path;
    }
    EXPECT_EQ(ReadText(dir / "earlier.log"), "an earlier log\n");
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"earlier.log", "fifo"}));
}

// The swing follows the calibration's lines, in heading order, then the largest deviation;
// without one the log is as before. Added later, it is appended on its own.
TEST(InstallationLogWriterTest, TheSwingFollowsTheCalibrationsLines) {
    InstallationValues values = kKnown;
    EXPECT_EQ(CInstallationLogWriter::Text(values, kNow).find("Compass Swing"), std::string::npos);
    values.swing.Record(11, 331.254); // 330
    values.swing.Record(0, 359.2);    // 000, across north
    values.swing.Record(3, 92.5);     // 090
    const std::string swingLines = "Compass Swing Heading 000: -0.80\n"
                                   "Compass Swing Heading 090: 2.50\n"
                                   "Compass Swing Heading 330: 1.25\n"
                                   "Compass Swing Max Deviation: 2.50\n";
    const std::string text = CInstallationLogWriter::Text(values, kNow);
    const std::string before = CInstallationLogWriter::Text(kKnown, kNow);
    EXPECT_EQ(text, before.substr(0, before.size() - 2) + swingLines + "\n\n");
    EXPECT_EQ(CInstallationLogWriter::SwingText(values.swing, values.swing), swingLines + "\n\n");
    CCompassSwing again; // 090 recorded again after the save: only its line, and the max
    again.Record(3, 91.0);
    EXPECT_EQ(CInstallationLogWriter::SwingText(again, values.swing),
              "Compass Swing Heading 090: 1.00\nCompass Swing Max Deviation: 2.50\n\n\n");

    const CTempDir dir;
    const std::string path = dir / "installation.log";
    ASSERT_EQ(CInstallationLogWriter::Append(path, kKnown, kNow), "");
    ASSERT_EQ(CInstallationLogWriter::AppendSwing(path, values.swing, values.swing), "");
    std::ifstream in(path);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(written, before + swingLines + "\n\n");
    EXPECT_NE(
        CInstallationLogWriter::AppendSwing(dir / "no-such-folder/log", values.swing, values.swing),
        "");
}

} // namespace
