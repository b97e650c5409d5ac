// Feeds arbitrary bytes, cut into arbitrary pieces, to the line parser and its record,
// then reads the record back. Besides the sanitizers' checks it asserts what must hold
// for any input: every real in the record is finite, the filtered heading stays in
// [0, 360), the unfinished text stays within its bound, and a chunk that recognised
// nothing reports no changed group.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "device/AhrsState.h"
#include "device/LineParser.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void CheckRecord(const CAhrsState& s) {
    const double heading = s.GetAvgHeading();
    Require(heading >= 0 && heading < 360);
    for (double value : {s.GetPitch(), s.GetRoll(), s.GetOutputHeading(), s.GetMagRawHeading(),
                         s.GetMagCorrHeading(), s.GetHeadingError(), s.GetAvgHeadingRate(),
                         s.GetPrevAvgHeading(), s.GetBlkValue(), s.GetLatitude(),
                         s.GetMagneticVariation(), s.GetA429Speed(), s.GetArincOutput()}) {
        Require(std::isfinite(value));
    }
    for (int i = 0; i < 4; ++i) {
        Require(std::isfinite(s.GetMcc(i)));
    }
    for (int axis = 0; axis < 3; ++axis) {
        Require(std::isfinite(s.GetAccel(axis)) && std::isfinite(s.GetGyro(axis)) &&
                std::isfinite(s.GetGyroBias(axis)));
        (void)s.GetAvgCount(axis);
        (void)s.GetMagFieldCorrection(axis);
    }
    for (const auto& table : {s.GetGyroScaleTable(), s.GetAccelScaleTable()}) {
        for (const auto& [key, value] : table) {
            Require(key >= 0 && key <= 1500 + 255 && std::isfinite(value));
        }
    }
    (void)s.GetAhrsVersion();
    (void)s.GetMagSerialNumber();
    (void)s.GetColonLineText();
    (void)s.GetDataText();
    (void)s.GetStatusWord();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes seed the piece sizes; the rest is the port's byte stream.
    std::uint32_t seed = data[0] | (static_cast<std::uint32_t>(data[1]) << 8);
    const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);

    CAhrsState state;
    CLineParser parser(state);
    std::size_t offset = 0;
    while (offset < stream.size()) {
        seed = seed * 1103515245U + 12345U;
        const std::uint32_t pick = (seed >> 16) & 0x7FFF;
        const std::size_t piece = (pick & 7) == 0 ? 1023 : 1 + pick % 64;
        const auto result = parser.ProcessChunk(stream.substr(offset, piece));
        Require(result.recognised || result.changed.Empty()); // only recognised lines store
        offset += piece;
        Require(parser.Pending().size() <= CLineParser::kMaxPending);
    }
    for (int i = 0; i < CLineParser::kAckEventCount; ++i) {
        (void)parser.AckSetCount(i);
    }
    CheckRecord(state);
    state.Reset();
    CheckRecord(state);
    return 0;
}
