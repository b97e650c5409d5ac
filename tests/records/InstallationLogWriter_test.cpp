#include "records/InstallationLogWriter.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CaseTable.h"
#include "SampleValues.h"
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

// The golden log, each line starting with a key of `changed` replaced, or left out for "".
std::string Expected(const std::map<std::string, std::string>& changed = {}) {
    std::istringstream golden(ReadText(HX410_TEST_DATA_DIR "/installation-log.expected"));
    std::string text;
    for (std::string line; std::getline(golden, line);) {
        const auto change = std::find_if(changed.begin(), changed.end(),
                                         [&](const auto& c) { return line.starts_with(c.first); });
        if (change == changed.end()) {
            text += line + '\n';
        } else if (!change->second.empty()) {
            text += change->second + '\n';
        }
    }
    return text;
}

// An optional line is written only for what was read: never a 0 the unit does not hold.
TEST(InstallationLogWriterTest, TextMatchesTheExpectedLogWithItsOptionalLines) {
    for (const auto& c : CaseTable("log-optional-lines.txt")) {
        SCOPED_TRACE(c[0] + " | " + c[1]);
        const auto has = [](const std::string& list, const std::string& word) {
            return (' ' + list + ' ').find(' ' + word + ' ') != std::string::npos;
        };
        InstallationValues v = SampleValues();
        v.versionClass = std::stoi(c[0]);
        v.freeField = has(c[1], "file") ? v.freeField : std::nullopt;
        v.mountLabel = has(c[1], "label") ? v.mountLabel : std::nullopt;
        v.magneticVariation = has(c[1], "location") ? v.magneticVariation : std::nullopt;
        v.latitude = has(c[1], "location") ? v.latitude : std::nullopt;
        std::map<std::string, std::string> changed;
        for (const auto& [prefix, line] : {std::pair{"Free-Field", "free-field"},
                                           {"Sensor Bias", "bias"},
                                           {"Mount Position", "mount"}}) {
            if (!has(c[2], line)) {
                changed[prefix] = "";
            }
        }
        if (!has(c[2], "location")) {
            changed["Magnetic Variance"] = "Magnetic Variance: not read";
            changed["Latitude"] = "Latitude: not read";
        }
        EXPECT_EQ(CInstallationLogWriter::Text(v, kNow), Expected(changed));
    }
}

// No text forges a line of the log or carries a byte that steers a terminal showing it.
TEST(InstallationLogWriterTest, TextsCannotForgeLinesOrCarryControlCharacters) {
    InstallationValues v = SampleValues();
    v.tailNumber = "N1\nCompass Correction North: 99.99";
    v.shopName = "Shop\r\x1b[2J\x1b]0;title\x07";
    v.magSerialNumber = "M\xFC\x9B" // 8-bit bytes: a Latin-1 letter and a terminal's CSI
                        "2";
    EXPECT_EQ(CInstallationLogWriter::Text(v, kNow),
              Expected({{"Tail Number", "Tail Number: N1Compass Correction North: 99.99"},
                        {"Shop Name", "Shop Name  : Shop[2J]0;title"},
                        {"RQ270 Serial Number", "RQ270 Serial Number: M\xC3\xBC"
                                                "2"}}));
}

TEST(InstallationLogWriterTest, ProposedFileName) {
    for (const auto& c : CaseTable("log-file-names.txt")) {
        const std::vector<double> date = Numbers(c[1]);
        const std::tm day =
            Date(static_cast<int>(date[0]), static_cast<int>(date[1]), static_cast<int>(date[2]));
        EXPECT_EQ(CInstallationLogWriter::ProposedFileName(c[0], day), c[2]);
    }
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
            reason = CInstallationLogWriter::Append(c.path, SampleValues(), kNow);
        }
        EXPECT_EQ(reason, std::generic_category().message(c.error)) << c.path;
    }
    EXPECT_EQ(ReadText(dir / "earlier.log"), "an earlier log\n");
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"earlier.log", "fifo"}));
}

// The swing follows the calibration's lines in heading order; added later, on its own.
TEST(InstallationLogWriterTest, TheSwingFollowsTheCalibrationsLines) {
    InstallationValues values = SampleValues();
    values.swing.Record(11, 331.254); // 330
    values.swing.Record(0, 359.2);    // 000, across north
    values.swing.Record(3, 92.5);     // 090
    const std::string swingLines = "Compass Swing Heading 000: -0.80\n"
                                   "Compass Swing Heading 090: 2.50\n"
                                   "Compass Swing Heading 330: 1.25\n"
                                   "Compass Swing Max Deviation: 2.50\n\n\n";
    const std::string before = Expected();
    EXPECT_EQ(CInstallationLogWriter::Text(values, kNow),
              before.substr(0, before.size() - 2) + swingLines);
    CCompassSwing again; // 090 recorded again after the save: only its line, and the max
    again.Record(3, 91.0);
    EXPECT_EQ(CInstallationLogWriter::SwingText(again, values.swing),
              "Compass Swing Heading 090: 1.00\nCompass Swing Max Deviation: 2.50\n\n\n");

    const CTempDir dir;
    const std::string path = dir / "installation.log";
    ASSERT_EQ(CInstallationLogWriter::Append(path, SampleValues(), kNow), "");
    ASSERT_EQ(CInstallationLogWriter::AppendSwing(path, values.swing, values.swing), "");
    EXPECT_EQ(ReadText(path), before + swingLines);
}

} // namespace
