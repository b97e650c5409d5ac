// Line assembly and dispatch for the maintenance port.
//
// The unit paints a terminal screen: every value sits on its own screen line, and the
// lines are separated by escape characters (0x1B) that start cursor-positioning
// sequences such as ESC [12;40H. Reads split that stream anywhere, so assembly is a
// byte-fed machine whose only memory between reads is the line being built:
//
//   - ESC ends the current line; a non-empty line is complete, and a new empty one
//     begins. CR and LF do not end a line.
//   - Whitespace (space, tab, CR, LF, VT, FF; never bytes 0x80 and above) is dropped
//     at the start of a line; inside a line a run of it becomes one blank, written
//     only when another character follows, so trailing whitespace disappears.
//   - Any other byte is appended as it is.
//
// A complete line is then cleaned: every stretch from '[' to the next 'H' (the rest of
// the line when no 'H' follows) is removed, then one leading blank. What remains is
// matched against the keyword table in Dispatch, first match wins.
//
// The line being built is bounded: once it reaches kMaxPending bytes without an escape
// it is dropped and everything up to the next escape is skipped, so a stream that never
// sends an escape cannot grow memory without end, and the next screen line parses
// cleanly.

#include "device/LineParser.h"

#include <optional>

#include "device/ValueReader.h"

namespace {

constexpr char kEscape = '\x1b';

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool StartsWith(std::string_view line, std::string_view keyword) {
    return line.substr(0, keyword.size()) == keyword;
}

// Text after the first blank; the whole line when it has none.
std::string_view AfterFirstBlank(std::string_view line) {
    const std::size_t blank = line.find(' ');
    return blank == std::string_view::npos ? line : line.substr(blank + 1);
}

// Text after the first blank at or after `from`; empty when there is none.
std::string_view AfterBlankFrom(std::string_view line, std::size_t from) {
    const std::size_t blank = line.find(' ', from);
    return blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
}

std::string_view TextFrom(std::string_view line, std::size_t from) {
    return from <= line.size() ? line.substr(from) : std::string_view();
}

// Index of a scale name; 15 for any name not in the table.
int ScaleNameIndex(std::string_view name) {
    static constexpr std::string_view kNames[] = {"XXN", "XXP", "YYN", "YYP", "ZZN",
                                                  "ZZP", "XY",  "XZ",  "YX",  "YZ",
                                                  "ZX",  "ZY",  "XX",  "YY",  "ZZ"};
    for (int i = 0; i < 15; ++i) {
        if (name == kNames[i]) {
            return i;
        }
    }
    return 15;
}

// The number in an indexed scale name such as "XX3P" (the "3"), modulo 256. Leading
// decimal digits are read; a name without digits gives 0.
int IndexedScaleNumber(std::string_view digits) {
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            break;
        }
        number = (number * 10 + (c - '0')) % 256;
    }
    return number;
}

// First of the two-character markers found at or after `from`, by marker order.
template <std::size_t N>
int FirstMarker(std::string_view line, std::size_t from, const std::string_view (&markers)[N]) {
    if (from > line.size()) {
        return -1;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (line.find(markers[i], from) != std::string_view::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

CLineParser::CLineParser(CAhrsState& state) : state(state) {}

bool CLineParser::ProcessChunk(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    std::lock_guard<std::mutex> guard(parserLock);
    bool recognised = false;
    for (const char c : text) {
        if (discarding) {
            if (c == kEscape) {
                discarding = false;
            }
            continue;
        }
        if (c == kEscape) {
            if (!current.empty()) {
                recognised = CompleteLine() || recognised;
            }
            current.clear();
            blankDue = false;
            continue;
        }
        if (IsBlank(c)) {
            blankDue = !current.empty();
            continue;
        }
        if (blankDue) {
            current.push_back(' ');
            blankDue = false;
        }
        current.push_back(c);
        if (current.size() >= kMaxPending) {
            current.clear();
            blankDue = false;
            discarding = true;
        }
    }
    return recognised;
}

std::string CLineParser::Pending() const {
    std::lock_guard<std::mutex> guard(parserLock);
    return blankDue ? current + ' ' : current;
}

bool CLineParser::CompleteLine() {
    cleaned.clear();
    std::size_t i = 0;
    while (i < current.size()) {
        if (current[i] == '[') {
            const std::size_t h = current.find('H', i + 1);
            if (h == std::string::npos) {
                break;
            }
            i = h + 1;
            continue;
        }
        cleaned.push_back(current[i]);
        ++i;
    }
    std::string_view line(cleaned);
    if (!line.empty() && line.front() == ' ') {
        line.remove_prefix(1);
    }
    return !line.empty() && Dispatch(line);
}

// The keyword table, tested in this order; the first match decides. Every keyword row
// counts as recognised whether or not its value could be read; a value that cannot be
// read leaves the record unchanged.
bool CLineParser::Dispatch(std::string_view line) {
    if (StartsWith(line, "Av ") || StartsWith(line, "Mv ") || StartsWith(line, "sn ") ||
        StartsWith(line, "Sn ")) {
        const std::string text(AfterFirstBlank(line));
        if (!text.empty()) {
            switch (line[0]) {
            case 'A':
                state.SetAhrsVersion(text);
                break;
            case 'M':
                state.SetMagVersion(text);
                break;
            case 's':
                state.SetAhrsSerialNumber(text);
                break;
            default:
                state.SetMagSerialNumber(text);
                break;
            }
        }
        return true;
    }
    if (StartsWith(line, "AN ")) {
        state.SetAnFlag(AfterFirstBlank(line) == "1");
        return true;
    }
    if (StartsWith(line, "ASF") || StartsWith(line, "GSF")) {
        ScaleLine(line, line[0] == 'A');
        return true;
    }
    if (StartsWith(line, "XX") || StartsWith(line, "YY") || StartsWith(line, "ZZ")) {
        IndexedScaleLine(line);
        return true;
    }
    if (StartsWith(line, "X ") || StartsWith(line, "Y ") || StartsWith(line, "Z ")) {
        SensorLine(line);
        return true;
    }
    if (StartsWith(line, "** GYRO NULL COMPLETE **")) {
        SetAck(1);
        return true;
    }
    if (StartsWith(line, "** ACCEL NULL COMPLETE **")) {
        SetAck(0);
        return true;
    }
    if (StartsWith(line, "++ MCC ERASE ++")) {
        SetAck(2);
        return true;
    }
    if (StartsWith(line, "++ MCC STORE ++")) {
        SetAck(3);
        return true;
    }
    if (StartsWith(line, "OutHdg")) {
        return RealRow(line, &CAhrsState::SetOutputHeading);
    }
    if (StartsWith(line, "Mag Avg") || StartsWith(line, "Mag Raw")) {
        HeadingLine(line, line[4] == 'A');
        return true;
    }
    if (StartsWith(line, "MagCorr")) {
        return RealRow(line, &CAhrsState::SetMagCorrHeading);
    }
    if (StartsWith(line, "MAG")) {
        LevelLine(line);
        return true;
    }
    if (StartsWith(line, "MFC")) {
        CorrectionLine(line);
        return true;
    }
    if (StartsWith(line, "ROLL") && !StartsWith(line, "ROLL T")) {
        return RealRow(line, &CAhrsState::SetRoll);
    }
    if (StartsWith(line, "PITCH") && !StartsWith(line, "PITCH T")) {
        return RealRow(line, &CAhrsState::SetPitch);
    }
    if (StartsWith(line, "BLK")) {
        BlkLine(line);
        return true;
    }
    if (StartsWith(line, "STAT")) {
        StatusLine(line);
        return true;
    }
    if (StartsWith(line, "MCC")) {
        CompassCorrectionLine(line);
        return true;
    }
    if (StartsWith(line, "MNT")) {
        if (const auto value = ReadInteger(AfterFirstBlank(line), INT32_MIN, INT32_MAX)) {
            state.SetMountPosition(static_cast<std::int32_t>(*value));
        }
        return true;
    }
    if (StartsWith(line, "Magvar")) {
        return RealRow(line, &CAhrsState::SetMagneticVariation);
    }
    if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
        if (line.find(':', colon + 1) != std::string_view::npos) {
            state.SetColonLineText(std::string(line));
        }
        return true;
    }
    if (StartsWith(line, "Lat")) {
        return RealRow(line, &CAhrsState::SetLatitude);
    }
    if (StartsWith(line, "A429")) {
        return RealRow(line, &CAhrsState::SetA429Speed);
    }
    if (StartsWith(line, "ARINC")) {
        return RealRow(line, &CAhrsState::SetArincOutput);
    }
    if (line[0] == '-' || (line[0] >= '0' && line[0] <= '9')) {
        state.SetDataText(std::string(line));
        return true;
    }
    return false;
}

// A row whose value is the text after the first blank, read as a real number.
bool CLineParser::RealRow(std::string_view line, void (CAhrsState::*set)(double)) {
    if (const auto value = ReadReal(AfterFirstBlank(line))) {
        (state.*set)(*value);
    }
    return true;
}

// "ASF name value" and "GSF name value".
void CLineParser::ScaleLine(std::string_view line, bool accel) {
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos) {
        return;
    }
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) {
        return;
    }
    const int nameIndex = ScaleNameIndex(line.substr(first + 1, second - first - 1));
    const auto value = ReadReal(line.substr(second + 1));
    if (!value) {
        return;
    }
    if (accel) {
        state.SetAccelScale(nameIndex, *value);
    } else {
        state.SetGyroScale(nameIndex * 100, *value);
    }
}

// "XX3P 1.002": name "XX" + the character before the blank, number from the characters
// between them, key name index * 100 + number mod 256.
void CLineParser::IndexedScaleLine(std::string_view line) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
        return;
    }
    const auto value = ReadReal(line.substr(blank + 1));
    if (!value) {
        return;
    }
    std::string name(line.substr(0, 2));
    name.push_back(line[blank - 1]);
    const std::size_t last = blank - 1;
    const int number = last > 2 ? IndexedScaleNumber(line.substr(2, last - 2)) : 0;
    state.SetGyroScale(ScaleNameIndex(name) * 100 + number, *value);
}

// "X ACCEL 0.01": axis word, quantity word, value.
void CLineParser::SensorLine(std::string_view line) {
    const int axis = line[0] - 'X';
    const std::size_t second = line.find(' ', 2);
    const std::string_view quantity =
        line.substr(2, second == std::string_view::npos ? std::string_view::npos : second - 2);
    const std::string_view text =
        second == std::string_view::npos ? std::string_view() : line.substr(second + 1);
    if (quantity == "AVG") {
        if (const auto real = ReadReal(text)) {
            if (const auto count = TruncateToLow16(*real)) {
                state.SetAvgCount(axis, *count);
            }
        }
        return;
    }
    if (quantity != "ACCEL" && quantity != "GYRO" && quantity != "BIAS") {
        return;
    }
    const auto value = ReadReal(text);
    if (!value) {
        return;
    }
    if (quantity == "ACCEL") {
        state.SetAccel(axis, *value);
    } else if (quantity == "GYRO") {
        state.SetGyro(axis, *value);
    } else {
        state.SetGyroBias(axis, *value);
    }
}

// "Mag Avg 123.4" and "Mag Raw 123.4". A heading outside 0..360 is a garbled line: it
// would hold the filtered heading outside its range for good, so it is not read.
void CLineParser::HeadingLine(std::string_view line, bool average) {
    const auto value = ReadReal(AfterBlankFrom(line, 7));
    if (!value || *value < 0 || *value > 360) {
        return;
    }
    if (average) {
        // 360 is north; passed as 0 so the filtered heading stays within [0, 360) even
        // when it is the first sample.
        state.AddAvgHeadingSample(*value == 360 ? 0.0 : *value);
    } else {
        state.SetMagRawHeading(*value);
    }
}

// "MAG XL 123" and "MAG YL 123"; lines shorter than 9 characters are ignored.
void CLineParser::LevelLine(std::string_view line) {
    if (line.size() < 9) {
        return;
    }
    const std::string_view rest = line.substr(4);
    int index = -1;
    if (StartsWith(rest, "XL")) {
        index = 0;
    } else if (StartsWith(rest, "YL")) {
        index = 1;
    } else {
        return;
    }
    if (const auto real = ReadReal(AfterBlankFrom(line, 6))) {
        if (const auto count = TruncateToLow16(*real)) {
            state.SetMagLevel(index, *count);
        }
    }
}

// "MFC X 123": axis marker searched from the fifth character, value from the seventh,
// a signed 16-bit integer.
void CLineParser::CorrectionLine(std::string_view line) {
    static constexpr std::string_view kAxes[] = {"X ", "Y ", "Z "};
    const std::size_t p = line.find("MFC");
    const int axis = FirstMarker(line, p + 4, kAxes);
    if (axis < 0) {
        return;
    }
    if (const auto value = ReadInteger(TextFrom(line, p + 6), INT16_MIN, INT16_MAX)) {
        state.SetMagFieldCorrection(axis, static_cast<std::int16_t>(*value));
    }
}

// "MCC N 1.5": heading marker searched after "MCC ", tested N, S, E, W; the value
// always starts two characters after the marker's expected place.
void CLineParser::CompassCorrectionLine(std::string_view line) {
    static constexpr std::string_view kHeadings[] = {"N ", "S ", "E ", "W "};
    const std::size_t p = line.find("MCC ");
    if (p == std::string_view::npos) {
        return;
    }
    const int heading = FirstMarker(line, p + 4, kHeadings);
    if (heading < 0) {
        return;
    }
    if (const auto value = ReadReal(TextFrom(line, p + 6))) {
        state.SetMcc(heading, *value);
    }
}

// "BLK a b": the number after the second blank, or after the first when only one.
void CLineParser::BlkLine(std::string_view line) {
    std::string_view text = AfterFirstBlank(line);
    if (text.size() != line.size()) {
        const std::size_t second = text.find(' ');
        if (second != std::string_view::npos) {
            text = text.substr(second + 1);
        }
    }
    if (const auto value = ReadReal(text)) {
        state.SetBlkValue(*value);
    }
}

// "STAT 00CF": every status line counts; an unreadable word keeps the previous one, so
// a garbled line can neither fake a valid status nor clear a valid one.
void CLineParser::StatusLine(std::string_view line) {
    if (const auto word = ReadHex32(AfterFirstBlank(line))) {
        state.SetStatusWord(*word);
    } else {
        state.CountStatusLine();
    }
}

void CLineParser::SetAck(int index) {
    ackEvents[static_cast<std::size_t>(index)].Set();
}

void CLineParser::ClearAck(int index) {
    if (index >= 0 && index < kAckEventCount) {
        ackEvents[static_cast<std::size_t>(index)].Reset();
    }
}

bool CLineParser::IsAckSet(int index) const {
    return index >= 0 && index < kAckEventCount &&
           ackEvents[static_cast<std::size_t>(index)].IsSet();
}

unsigned CLineParser::AckSetCount(int index) const {
    if (index < 0 || index >= kAckEventCount) {
        return 0;
    }
    return ackEvents[static_cast<std::size_t>(index)].SetCount();
}
