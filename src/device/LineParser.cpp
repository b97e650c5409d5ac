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

CLineParser::ChunkResult CLineParser::ProcessChunk(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    std::lock_guard<std::mutex> guard(parserLock);
    ChunkResult result;
    for (const char c : text) {
        if (discarding) {
            if (c == kEscape) {
                discarding = false;
            }
            continue;
        }
        if (c == kEscape) {
            if (!current.empty()) {
                result.recognised = CompleteLine(result.changed) || result.recognised;
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
    return result;
}

std::string CLineParser::Pending() const {
    std::lock_guard<std::mutex> guard(parserLock);
    return blankDue ? current + ' ' : current;
}

bool CLineParser::CompleteLine(CRecordGroups& changed) {
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
    return !line.empty() && Dispatch(line, changed);
}

// The dispatch table. A line is offered to the rows in this order and the first row that
// takes it decides; a line no row takes is not recognised. A row with a keyword takes
// every line that starts with it, whether or not its value can be read (a value that
// cannot be read leaves the record unchanged). The two rows without a keyword are rules
// on the whole line and may leave it to the rows after them.
//
// Where one keyword starts another, the order settles it:
//   - "ROLL T" and "PITCH T" are not roll and pitch rows: their rows, placed before
//     "ROLL" and "PITCH", have no handler, so such a line skips every keyword row after
//     them and is left to the rules without keyword (it counts only if it holds a ':').
//   - The colon rule comes after "Magvar" and before "Lat", "A429", "ARINC" and the data
//     line: a keyword above it wins over a ':' in its line ("STAT 12:00" is a status
//     line), while "Lat 12:00" is a colon line.
//   - Keywords that share a start but where neither starts the other ("Mag Avg",
//     "MagCorr", "Magvar"; "MAG" differs in case) need no order; "MAG" takes "MAG XL",
//     "MAG YL" and every other line beginning "MAG".
const CLineParser::Row CLineParser::kRows[] = {
    {"Av ", &CLineParser::TextRow<&CAhrsState::SetAhrsVersion>},
    {"Mv ", &CLineParser::TextRow<&CAhrsState::SetMagVersion>},
    {"sn ", &CLineParser::SerialRow<&CAhrsState::SetAhrsSerialNumber>},
    {"Sn ", &CLineParser::SerialRow<&CAhrsState::SetMagSerialNumber>},
    {"AN ", &CLineParser::AnLine},
    {"ASF", &CLineParser::AccelScaleLine},
    {"GSF", &CLineParser::GyroScaleLine},
    {"XX", &CLineParser::IndexedScaleLine},
    {"YY", &CLineParser::IndexedScaleLine},
    {"ZZ", &CLineParser::IndexedScaleLine},
    {"X ", &CLineParser::SensorLine},
    {"Y ", &CLineParser::SensorLine},
    {"Z ", &CLineParser::SensorLine},
    {"** GYRO NULL COMPLETE **", &CLineParser::AckRow<1>},
    {"** ACCEL NULL COMPLETE **", &CLineParser::AckRow<0>},
    {"++ MCC ERASE ++", &CLineParser::AckRow<2>},
    {"++ MCC STORE ++", &CLineParser::AckRow<3>},
    {"OutHdg", &CLineParser::RealRow<&CAhrsState::SetOutputHeading, CRecordGroups::kHeading>},
    {"Mag Avg", &CLineParser::AvgHeadingLine},
    {"Mag Raw", &CLineParser::RawHeadingLine},
    {"MagCorr", &CLineParser::RealRow<&CAhrsState::SetMagCorrHeading, CRecordGroups::kHeading>},
    {"MAG", &CLineParser::LevelLine},
    {"MFC", &CLineParser::CorrectionLine},
    {"ROLL T", nullptr},
    {"ROLL", &CLineParser::RealRow<&CAhrsState::SetRoll, CRecordGroups::kAttitude>},
    {"PITCH T", nullptr},
    {"PITCH", &CLineParser::RealRow<&CAhrsState::SetPitch, CRecordGroups::kAttitude>},
    {"BLK", &CLineParser::BlkLine},
    {"STAT", &CLineParser::StatusLine},
    {"MCC", &CLineParser::CompassCorrectionLine},
    {"MNT", &CLineParser::MountLine},
    {"Magvar", &CLineParser::RealRow<&CAhrsState::SetMagneticVariation, CRecordGroups::kLocation>},
    {"", &CLineParser::ColonLine},
    {"Lat", &CLineParser::RealRow<&CAhrsState::SetLatitude, CRecordGroups::kLocation>},
    {"A429", &CLineParser::RealRow<&CAhrsState::SetA429Speed, CRecordGroups::kArinc>},
    {"ARINC", &CLineParser::RealRow<&CAhrsState::SetArincOutput, CRecordGroups::kArinc>},
    {"", &CLineParser::DataLine},
};

bool CLineParser::Dispatch(std::string_view line, CRecordGroups& changed) {
    bool keywordsDone = false; // a keyword that is none of ours was met
    for (const Row& row : kRows) {
        const bool rule = row.keyword.empty();
        if (!rule && (keywordsDone || !StartsWith(line, row.keyword))) {
            continue;
        }
        if (row.handler == nullptr) {
            keywordsDone = true;
        } else if ((this->*row.handler)(line, changed)) {
            return true;
        }
    }
    return false;
}

// A row whose value is the text after the first blank, read as a real number.
template <void (CAhrsState::*Set)(double), CRecordGroups::Group Group>
bool CLineParser::RealRow(std::string_view line, CRecordGroups& changed) {
    if (const auto value = ReadReal(AfterFirstBlank(line))) {
        (state.*Set)(*value);
        changed |= Group;
    }
    return true;
}

// A version or serial number row: the text after the first blank, when there is any.
template <void (CAhrsState::*Set)(const std::string&)>
bool CLineParser::TextRow(std::string_view line, CRecordGroups& changed) {
    const std::string_view text = AfterFirstBlank(line);
    if (!text.empty()) {
        (state.*Set)(std::string(text));
        changed |= CRecordGroups::kIdentity;
    }
    return true;
}

// A serial number row; the unit's "no serial number" is no report at all.
template <void (CAhrsState::*Set)(const std::string&)>
bool CLineParser::SerialRow(std::string_view line, CRecordGroups& changed) {
    if (AfterFirstBlank(line) == CAhrsState::kNoSerialNumber) {
        return true;
    }
    return TextRow<Set>(line, changed);
}

template <int Index> bool CLineParser::AckRow(std::string_view /*line*/, CRecordGroups& changed) {
    SetAck(Index);
    changed |= CRecordGroups::kAcknowledgements;
    return true;
}

bool CLineParser::AnLine(std::string_view line, CRecordGroups& changed) {
    state.SetAnFlag(AfterFirstBlank(line) == "1");
    changed |= CRecordGroups::kStatus;
    return true;
}

bool CLineParser::AccelScaleLine(std::string_view line, CRecordGroups& changed) {
    if (ScaleLine(line, true)) {
        changed |= CRecordGroups::kScales;
    }
    return true;
}

bool CLineParser::GyroScaleLine(std::string_view line, CRecordGroups& changed) {
    if (ScaleLine(line, false)) {
        changed |= CRecordGroups::kScales;
    }
    return true;
}

bool CLineParser::AvgHeadingLine(std::string_view line, CRecordGroups& changed) {
    if (HeadingLine(line, true)) {
        changed |= CRecordGroups::kHeading;
    }
    return true;
}

bool CLineParser::RawHeadingLine(std::string_view line, CRecordGroups& changed) {
    if (HeadingLine(line, false)) {
        changed |= CRecordGroups::kHeading;
    }
    return true;
}

bool CLineParser::MountLine(std::string_view line, CRecordGroups& changed) {
    if (const auto value = ReadInteger(AfterFirstBlank(line), INT32_MIN, INT32_MAX)) {
        state.SetMountPosition(static_cast<std::int32_t>(*value));
        changed |= CRecordGroups::kMount;
    }
    return true;
}

// Any line holding a ':' counts; it is kept when a second ':' follows the first.
bool CLineParser::ColonLine(std::string_view line, CRecordGroups& changed) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    if (line.find(':', colon + 1) != std::string_view::npos) {
        state.SetColonLineText(std::string(line));
        changed |= CRecordGroups::kOther;
    }
    return true;
}

// A line starting with a digit or '-' is kept whole.
bool CLineParser::DataLine(std::string_view line, CRecordGroups& changed) {
    if (line[0] != '-' && (line[0] < '0' || line[0] > '9')) {
        return false;
    }
    state.SetDataText(std::string(line));
    changed |= CRecordGroups::kOther;
    return true;
}

// "ASF name value" and "GSF name value"; true when the value was stored.
bool CLineParser::ScaleLine(std::string_view line, bool accel) {
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos) {
        return false;
    }
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    const int nameIndex = ScaleNameIndex(line.substr(first + 1, second - first - 1));
    const auto value = ReadReal(line.substr(second + 1));
    if (!value) {
        return false;
    }
    if (accel) {
        state.SetAccelScale(nameIndex, *value);
    } else {
        state.SetGyroScale(nameIndex * 100, *value);
    }
    return true;
}

// "XX3P 1.002": name "XX" + the character before the blank, number from the characters
// between them, key name index * 100 + number mod 256.
bool CLineParser::IndexedScaleLine(std::string_view line, CRecordGroups& changed) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
        return true;
    }
    const auto value = ReadReal(line.substr(blank + 1));
    if (!value) {
        return true;
    }
    std::string name(line.substr(0, 2));
    name.push_back(line[blank - 1]);
    const std::size_t last = blank - 1;
    const int number = last > 2 ? IndexedScaleNumber(line.substr(2, last - 2)) : 0;
    state.SetGyroScale(ScaleNameIndex(name) * 100 + number, *value);
    changed |= CRecordGroups::kScales;
    return true;
}

// "X ACCEL 0.01": axis word, quantity word, value. "X AVG" is a magnetometer count.
bool CLineParser::SensorLine(std::string_view line, CRecordGroups& changed) {
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
                changed |= CRecordGroups::kMagCounts;
            }
        }
        return true;
    }
    if (quantity != "ACCEL" && quantity != "GYRO" && quantity != "BIAS") {
        return true;
    }
    const auto value = ReadReal(text);
    if (!value) {
        return true;
    }
    if (quantity == "ACCEL") {
        state.SetAccel(axis, *value);
    } else if (quantity == "GYRO") {
        state.SetGyro(axis, *value);
    } else {
        state.SetGyroBias(axis, *value);
    }
    changed |= CRecordGroups::kSensors;
    return true;
}

// "Mag Avg 123.4" and "Mag Raw 123.4"; true when the heading was stored. A heading
// outside 0..360 is a garbled line: it would hold the filtered heading outside its range
// for good, so it is not read.
bool CLineParser::HeadingLine(std::string_view line, bool average) {
    const auto value = ReadReal(AfterBlankFrom(line, 7));
    if (!value || *value < 0 || *value > 360) {
        return false;
    }
    if (average) {
        // 360 is north; passed as 0 so the filtered heading stays within [0, 360) even
        // when it is the first sample.
        state.AddAvgHeadingSample(*value == 360 ? 0.0 : *value);
    } else {
        state.SetMagRawHeading(*value);
    }
    return true;
}

// "MAG XL 123" and "MAG YL 123"; lines shorter than 9 characters are ignored.
bool CLineParser::LevelLine(std::string_view line, CRecordGroups& changed) {
    if (line.size() < 9) {
        return true;
    }
    const std::string_view rest = line.substr(4);
    int index = -1;
    if (StartsWith(rest, "XL")) {
        index = 0;
    } else if (StartsWith(rest, "YL")) {
        index = 1;
    } else {
        return true;
    }
    if (const auto real = ReadReal(AfterBlankFrom(line, 6))) {
        if (const auto count = TruncateToLow16(*real)) {
            state.SetMagLevel(index, *count);
            changed |= CRecordGroups::kMagCounts;
        }
    }
    return true;
}

// "MFC X 123": axis marker searched from the fifth character, value from the seventh,
// a signed 16-bit integer.
bool CLineParser::CorrectionLine(std::string_view line, CRecordGroups& changed) {
    static constexpr std::string_view kAxes[] = {"X ", "Y ", "Z "};
    const std::size_t p = line.find("MFC");
    const int axis = FirstMarker(line, p + 4, kAxes);
    if (axis < 0) {
        return true;
    }
    if (const auto value = ReadInteger(TextFrom(line, p + 6), INT16_MIN, INT16_MAX)) {
        state.SetMagFieldCorrection(axis, static_cast<std::int16_t>(*value));
        changed |= CRecordGroups::kCorrections;
    }
    return true;
}

// "MCC N 1.5": heading marker searched after "MCC ", tested N, S, E, W; the value
// always starts two characters after the marker's expected place.
bool CLineParser::CompassCorrectionLine(std::string_view line, CRecordGroups& changed) {
    static constexpr std::string_view kHeadings[] = {"N ", "S ", "E ", "W "};
    const std::size_t p = line.find("MCC ");
    if (p == std::string_view::npos) {
        return true;
    }
    const int heading = FirstMarker(line, p + 4, kHeadings);
    if (heading < 0) {
        return true;
    }
    if (const auto value = ReadReal(TextFrom(line, p + 6))) {
        state.SetMcc(heading, *value);
        changed |= CRecordGroups::kCorrections;
    }
    return true;
}

// "BLK a b": the number after the second blank, or after the first when only one.
bool CLineParser::BlkLine(std::string_view line, CRecordGroups& changed) {
    std::string_view text = AfterFirstBlank(line);
    if (text.size() != line.size()) {
        const std::size_t second = text.find(' ');
        if (second != std::string_view::npos) {
            text = text.substr(second + 1);
        }
    }
    if (const auto value = ReadReal(text)) {
        state.SetBlkValue(*value);
        changed |= CRecordGroups::kOther;
    }
    return true;
}

// "STAT 00CF": every status line counts; an unreadable word keeps the previous one, so
// a garbled line can neither fake a valid status nor clear a valid one.
bool CLineParser::StatusLine(std::string_view line, CRecordGroups& changed) {
    if (const auto word = ReadHex32(AfterFirstBlank(line))) {
        state.SetStatusWord(*word);
    } else {
        state.CountStatusLine();
    }
    changed |= CRecordGroups::kStatus;
    return true;
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
