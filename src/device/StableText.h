#pragma once

#include <string>

// A text the unit reports again and again, such as a software version or a serial number.
// The maintenance port carries no checksum, so one corrupted line cannot be told from a
// real change by looking at it; corrupted texts, however, do not repeat. A text is
// therefore trusted only once it has arrived twice in a row, and the last trusted text
// stays until another one has. Not locked: the owner serialises access.
class CStableText {
public:
    static constexpr int kReportsToTrust = 2;

    // One report of the text.
    void Offer(const std::string& text);
    // The last text reported at least twice in a row; empty before the first.
    const std::string& Stable() const { return stable; }
    // The text of the last report, trusted or not.
    const std::string& Latest() const { return latest; }
    // Forgets everything.
    void Clear();
    // Keeps the trusted text but counts the reports from nothing again: the next different
    // text needs its full number of reports to replace it.
    void RestartCount();

private:
    std::string latest;
    std::string stable;
    int repeats = 0; // reports of `latest` in a row since the count started
};
