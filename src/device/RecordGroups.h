#pragma once

#include <cstdint>

// A set of the parts of the record that received lines write, grouped as the pages and
// the tools read them. Parsing a chunk reports the groups whose values its lines stored,
// so a reader can tell which parts of the record a read brought news for.
class CRecordGroups {
public:
    enum Group : std::uint32_t {
        kAttitude = 1U << 0,          // pitch and roll
        kHeading = 1U << 1,           // output, raw, corrected and filtered magnetic headings
        kStatus = 1U << 2,            // status word and its count, AN flag
        kSensors = 1U << 3,           // accelerations, rates and gyro biases
        kMagCounts = 1U << 4,         // averaged magnetometer counts and the two level counts
        kCorrections = 1U << 5,       // magnetic field corrections (MFC), compass corrections (MCC)
        kMount = 1U << 6,             // mount position
        kLocation = 1U << 7,          // latitude and magnetic variation
        kArinc = 1U << 8,             // ARINC 429 speed and output
        kIdentity = 1U << 9,          // versions and serial numbers
        kScales = 1U << 10,           // accelerometer and gyro scale tables
        kOther = 1U << 11,            // BLK value, colon line, data line
        kAcknowledgements = 1U << 12, // the banners' events (held by the parser, not the record)
    };

    constexpr CRecordGroups() = default;
    constexpr CRecordGroups(Group group) : bits(group) {}
    static constexpr CRecordGroups FromBits(std::uint32_t bits) {
        CRecordGroups groups;
        groups.bits = bits;
        return groups;
    }

    constexpr bool Has(Group group) const { return (bits & group) != 0; }
    constexpr bool Empty() const { return bits == 0; }
    constexpr std::uint32_t Bits() const { return bits; }

    constexpr CRecordGroups& operator|=(CRecordGroups other) {
        bits |= other.bits;
        return *this;
    }
    friend constexpr CRecordGroups operator|(CRecordGroups a, CRecordGroups b) { return a |= b; }
    // So that kAttitude | kStatus is a set, not a bare number.
    friend constexpr CRecordGroups operator|(Group a, Group b) {
        return CRecordGroups(a) | CRecordGroups(b);
    }
    friend constexpr bool operator==(CRecordGroups a, CRecordGroups b) = default;

private:
    std::uint32_t bits = 0;
};
