#include "records/InstallationLogWriter.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "device/FixedPoint.h"
#include "records/CalibrationMath.h"
#include "records/FileNames.h"
#include "records/PlainText.h"

namespace {

constexpr std::string_view kTitle = "Korvan HX410 AHRS Installation Report";
constexpr std::size_t kMaxFileNameBytes = 255;
constexpr std::string_view kPartialWrite = "the disk accepted only part of the log";

constexpr std::array<std::string_view, 3> kAxes{"X", "Y", "Z"};

struct Table {
    std::string_view label;
    std::array<double, 4> InstallationValues::*values;
};

constexpr std::array<Table, 8> kTables{{{"Raw X Sensor ", &InstallationValues::rawMagX},
                                        {"Raw Y Sensor ", &InstallationValues::rawMagY},
                                        {"Raw Z Sensor ", &InstallationValues::rawMagZ},
                                        {"Eff Pitch ", &InstallationValues::effPitch},
                                        {"Eff Roll ", &InstallationValues::effRoll},
                                        {"Lvl X Sensor ", &InstallationValues::levelMagX},
                                        {"Lvl Y Sensor ", &InstallationValues::levelMagY},
                                        {"Lvl Z Sensor ", &InstallationValues::levelMagZ}}};

std::string Real(double value) {
    return FixedPoint(value, 2);
}

std::string TwoDigits(int value) {
    const std::string text = std::to_string(value);
    return value >= 0 && value < 10 ? "0" + text : text;
}

std::string Year(const std::tm& date) {
    return std::to_string(date.tm_year + 1900LL);
}

std::string DateTime(const std::tm& t) {
    return TwoDigits(t.tm_mon + 1) + "/" + TwoDigits(t.tm_mday) + "/" + Year(t) + " " +
           TwoDigits(t.tm_hour) + ":" + TwoDigits(t.tm_min) + ":" + TwoDigits(t.tm_sec);
}

class CLogText {
public:
    // A value never brings a control character along: a line break in a typed or read
    // text would start a line of its own that the log does not hold, and a byte of an 8-bit
    // file (0x85, 0x9B) would steer a terminal. Such bytes are written as the Latin-1
    // characters the wizard showed.
    void Line(std::string_view label, std::string_view value = {}) {
        text += label;
        text += PrintableUtf8(value);
        text += '\n';
    }
    std::string Take() { return std::move(text); }

private:
    std::string text;
};

void WriteIdentification(CLogText& log, const InstallationValues& v, const std::tm& now) {
    log.Line(kTitle);
    log.Line("");
    log.Line("Date: ", DateTime(now));
    log.Line("HX410 Serial Number: ", v.ahrsSerialNumber);
    log.Line("HX410 Software Version: ", v.ahrsVersion);
    log.Line("RQ270 Serial Number: ", v.magSerialNumber);
    log.Line("RQ270 Software Version: ", v.magVersion);
    log.Line("Install Software Version: ", v.programVersion);
    log.Line("");
    log.Line("Tail Number: ", v.tailNumber);
    log.Line("Shop Name  : ", v.shopName);
    log.Line("Installer  : ", v.installer);
    if (v.mountLabel) {
        log.Line("Mount Position: ", *v.mountLabel);
    }
}

void WriteCorrections(CLogText& log, const InstallationValues& v) {
    if (v.HasMagFieldCorrections()) {
        if (v.freeField) {
            for (std::size_t axis = 0; axis < kAxes.size(); ++axis) {
                log.Line("Free-Field " + std::string(kAxes[axis]) + ": ",
                         std::to_string((*v.freeField)[axis]));
            }
        }
        for (std::size_t axis = 0; axis < kAxes.size(); ++axis) {
            log.Line("Sensor Bias " + std::string(kAxes[axis]) + ": ",
                     std::to_string(v.magFieldCorrection[axis]));
        }
    }
    // Compass corrections by heading index; the measurement tables go round the compass.
    for (int heading = 0; heading < 4; ++heading) {
        log.Line("Compass Correction " + std::string(kHeadingNames[heading]) + ": ",
                 Real(v.mcc[heading]));
    }
    log.Line("Magnetic Variance: ", FixedOrNotRead(v.magneticVariation));
    log.Line("Latitude: ", FixedOrNotRead(v.latitude));
}

void WriteMeasurements(CLogText& log, const InstallationValues& v) {
    for (const Table& table : kTables) {
        for (const int heading : kCompassWalk) {
            log.Line(std::string(table.label) + kHeadingNames[heading] + ": ",
                     Real((v.*table.values)[heading]));
        }
    }
}

std::string Reason(int error) {
    return std::generic_category().message(error);
}

// The log's file opened for appending, and what is needed to take a failed log back out.
struct AppendTarget {
    int fd = -1;
    int error = 0;
    bool created = false;
    bool regular = false;
    off_t sizeBefore = 0;
};

AppendTarget OpenForAppend(const std::string& path) {
    // Non-blocking so that a FIFO without a reader fails at once instead of waiting forever.
    const int flags = O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC;
    AppendTarget target;
    for (int attempt = 0; attempt < 2; ++attempt) {
        target.fd = ::open(path.c_str(), flags);
        if (target.fd >= 0 || errno != ENOENT) {
            break;
        }
        target.fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        target.created = target.fd >= 0;
        if (target.created || errno != EEXIST) {
            break; // otherwise it appeared in between: open it as an existing file
        }
    }
    if (target.fd < 0) {
        target.error = errno;
        return target;
    }
    struct stat info {};
    if (::fstat(target.fd, &info) == 0 && S_ISREG(info.st_mode)) {
        target.regular = true;
        target.sizeBefore = info.st_size;
    }
    return target;
}

std::string WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return Reason(errno);
        }
        if (written == 0) {
            return std::string(kPartialWrite);
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

std::string Flush(int fd) {
    // Pipes and devices that cannot be synchronised report EINVAL or EROFS; nothing is lost.
    if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS) {
        return {};
    }
    return Reason(errno);
}

// Leaves the file as it was before a log that did not get written in full.
void TakeBack(const std::string& path, const AppendTarget& target) {
    if (target.created) {
        ::unlink(path.c_str());
    } else if (target.regular) {
        // Best effort: should this fail too, the reason already given still stands.
        [[maybe_unused]] const int result = ::truncate(path.c_str(), target.sizeBefore);
    }
}

std::string AppendText(const std::string& path, std::string_view text) {
    const AppendTarget target = OpenForAppend(path);
    if (target.fd < 0) {
        return Reason(target.error);
    }
    std::string reason = WriteAll(target.fd, text);
    if (reason.empty()) {
        reason = Flush(target.fd);
    }
    if (::close(target.fd) != 0 && reason.empty()) {
        reason = Reason(errno);
    }
    if (!reason.empty()) {
        TakeBack(path, target);
    }
    return reason;
}

// One line per heading of `lines`, then the largest deviation of the whole swing; nothing
// without a swing.
void WriteSwing(CLogText& log, const CCompassSwing& lines, const CCompassSwing& whole) {
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        if (const std::optional<double> deviation = lines.DeviationAt(line)) {
            log.Line("Compass Swing Heading " + CCompassSwing::LineLabel(line) + ": ",
                     Real(*deviation));
        }
    }
    if (const std::optional<double> largest = whole.MaxDeviation(); largest && !lines.Empty()) {
        log.Line("Compass Swing Max Deviation: ", Real(*largest));
    }
}

} // namespace

std::string CInstallationLogWriter::ProposedFileName(const std::string& tailNumber,
                                                     const std::tm& localDate) {
    const std::string prefix = std::string(kTitle) + " - ";
    const std::string suffix = " " + TwoDigits(localDate.tm_mon + 1) +
                               TwoDigits(localDate.tm_mday) + Year(localDate) + ".log";
    std::string tail = SafeFileNamePart(tailNumber); // printable ASCII: any cut is clean
    const std::size_t room = kMaxFileNameBytes - prefix.size() - suffix.size();
    if (tail.size() > room) {
        tail.resize(room);
    }
    return prefix + tail + suffix;
}

std::string CInstallationLogWriter::Text(const InstallationValues& values, const std::tm& now) {
    CLogText log;
    WriteIdentification(log, values, now);
    WriteCorrections(log, values);
    WriteMeasurements(log, values);
    WriteSwing(log, values.swing, values.swing);
    log.Line("");
    log.Line("");
    return log.Take();
}

std::string CInstallationLogWriter::SwingText(const CCompassSwing& lines,
                                              const CCompassSwing& whole) {
    CLogText log;
    WriteSwing(log, lines, whole);
    log.Line("");
    log.Line("");
    return log.Take();
}

std::string CInstallationLogWriter::Append(const std::string& path,
                                           const InstallationValues& values, const std::tm& now) {
    return AppendText(path, Text(values, now));
}

std::string CInstallationLogWriter::AppendSwing(const std::string& path, const CCompassSwing& lines,
                                                const CCompassSwing& whole) {
    return AppendText(path, SwingText(lines, whole));
}
