#pragma once

#include <ctime>
#include <string>

#include "records/InstallationValues.h"

// The plain-text installation log: its proposed file name, its text and appending it to the
// file the technician chose. Everything written comes from one InstallationValues taken by the
// caller; the writer reads no record and no file of its own.
class CInstallationLogWriter {
public:
    // "Korvan HX410 AHRS Installation Report - " + tail number + " " + MMDDYYYY + ".log".
    // Characters that cannot stand in a file name become '_', and an over-long tail number is
    // shortened so that the name stays within the usual 255-byte limit.
    static std::string ProposedFileName(const std::string& tailNumber, const std::tm& localDate);

    // The log's lines, each ended by a line feed, followed by two empty lines.
    static std::string Text(const InstallationValues& values, const std::tm& now);

    // Appends Text() to `path` (created when missing), flushed to disk. Returns an empty string
    // on success, otherwise a plain reason for the technician. A log that cannot be written in
    // full is taken back out, so the file stays as it was.
    static std::string Append(const std::string& path, const InstallationValues& values,
                              const std::tm& now);

    // The lines of the headings in `lines` as Text() writes them after the calibration's,
    // then the largest deviation of `whole`, and two empty lines: for headings recorded after
    // the log was saved.
    static std::string SwingText(const CCompassSwing& lines, const CCompassSwing& whole);
    // Appends SwingText() to the log at `path`, as Append does.
    static std::string AppendSwing(const std::string& path, const CCompassSwing& lines,
                                   const CCompassSwing& whole);
};
