#include "RecordPrinter.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string FormatReal(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

void Text(std::ostream& out, const char* name, const std::string& value) {
    out << name << '=' << EscapeText(value) << '\n';
}

void Whole(std::ostream& out, const char* name, std::int64_t value) {
    out << name << '=' << value << '\n';
}

void Real(std::ostream& out, const char* name, double value) {
    out << name << '=' << FormatReal(value) << '\n';
}

template <class Getter> void Indexed(std::ostream& out, const char* name, int count, Getter get) {
    for (int i = 0; i < count; ++i) {
        out << name << '[' << i << "]=" << get(i) << '\n';
    }
}

template <class Getter>
void IndexedReal(std::ostream& out, const char* name, int count, Getter get) {
    Indexed(out, name, count, [&](int i) { return FormatReal(get(i)); });
}

void Table(std::ostream& out, const char* name, const CAhrsState::ScaleTable& table) {
    for (const auto& [key, value] : table) {
        out << name << '[' << key << "]=" << FormatReal(value) << '\n';
    }
}

} // namespace

std::string EscapeText(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (byte < 0x20 || byte > 0x7E) {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

void PrintRecord(std::ostream& out, const CAhrsState& s) {
    Text(out, "AhrsVersion", s.GetReportedAhrsVersion());
    Text(out, "AhrsSerialNumber", s.GetReportedAhrsSerialNumber());
    Text(out, "MagVersion", s.GetReportedMagVersion());
    Text(out, "MagSerialNumber", s.GetReportedMagSerialNumber());
    Text(out, "ColonLineText", s.GetColonLineText());
    Text(out, "DataText", s.GetDataText());

    Whole(out, "AhrsVersionClass", s.GetAhrsVersionClass());
    Whole(out, "AnFlag", s.GetAnFlag());
    Whole(out, "StatusBit0", s.GetStatusBit0());
    Whole(out, "StatusWord", s.GetStatusWord());
    Whole(out, "StatusCount", s.GetStatusCount());
    Whole(out, "AvgHeadingCount", s.GetAvgHeadingCount());
    Whole(out, "ArincCount", s.GetArincCount());
    Indexed(out, "AvgCounts", 3, [&](int i) { return s.GetAvgCount(i); });
    Indexed(out, "MagLevel", 2, [&](int i) { return s.GetMagLevel(i); });
    Indexed(out, "MagFieldCorrection", 3, [&](int i) { return s.GetMagFieldCorrection(i); });
    Whole(out, "MountPosition", s.GetMountPosition());

    Real(out, "Pitch", s.GetPitch());
    Real(out, "Roll", s.GetRoll());
    Real(out, "OutputHeading", s.GetOutputHeading());
    Real(out, "MagRawHeading", s.GetMagRawHeading());
    Real(out, "MagCorrHeading", s.GetMagCorrHeading());
    Real(out, "HeadingError", s.GetHeadingError());
    Real(out, "AvgHeading", s.GetAvgHeading());
    Real(out, "AvgHeadingRate", s.GetAvgHeadingRate());
    Real(out, "PrevAvgHeading", s.GetPrevAvgHeading());
    Real(out, "HeadingFilterLength", s.GetHeadingFilterLength());
    Real(out, "RateFilterLength", s.GetRateFilterLength());
    Whole(out, "FirstHeading", s.GetFirstHeading());
    Whole(out, "FirstRate", s.GetFirstRate());
    IndexedReal(out, "Accel", 3, [&](int i) { return s.GetAccel(i); });
    IndexedReal(out, "Gyro", 3, [&](int i) { return s.GetGyro(i); });
    IndexedReal(out, "GyroBias", 3, [&](int i) { return s.GetGyroBias(i); });
    Real(out, "BlkValue", s.GetBlkValue());
    IndexedReal(out, "Mcc", 4, [&](int i) { return s.GetMcc(i); });
    Real(out, "Latitude", s.GetLatitude());
    Real(out, "MagneticVariation", s.GetMagneticVariation());
    Real(out, "A429Speed", s.GetA429Speed());
    Real(out, "ArincOutput", s.GetArincOutput());

    Table(out, "GyroScaleTable", s.GetGyroScaleTable());
    Table(out, "AccelScaleTable", s.GetAccelScaleTable());
}

void PrintAckCounts(std::ostream& out, const CLineParser& parser) {
    for (int i = 0; i < CLineParser::kAckEventCount; ++i) {
        out << "AckEvent[" << i << "]=" << parser.AckSetCount(i) << '\n';
    }
}
