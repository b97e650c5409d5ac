#pragma once

#include "procedure/MagCollection.h"
#include "procedure/MagReading.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The free-field measurement of the RQ270: a collection of kSamples readings of its counts,
// whose means become the free-field values when the samples agree, and the measurement
// file that keeps the values under the magnetometer's serial number. It has no waits of its
// own: the page's tick brings one reading at a time, so the page stays usable meanwhile.
class CFreeFieldMeasurement {
public:
    static constexpr int kSamples = 10;

    // Where a collection stands after a reading.
    enum class Progress {
        Idle,     // no collection runs: the reading was not taken
        Sampling, // taken, more to come
        Measured, // the last one, and the samples agreed: their means are the values now
        Unsteady, // the last one, and a sample was apart from the others: nothing of the
                  // collection is recorded, earlier values stand
    };

    // Where saving the values failed.
    struct SaveFailure {
        std::string path;
        int error = 0; // errno, 0 when the file was not written completely
    };

    // Forgets the values and any collection.
    void Reset();
    // Begins a collection; samples of an earlier one are dropped.
    void Start();
    // Ends a running collection without a result.
    void Abandon();
    Progress Add(const MagReading& reading);
    // The readings taken by the collection that runs or ended last.
    int Taken() const { return kSamples - collection.ToGo(); }

    // Whether there are values, from a collection or from the file.
    bool HasValues() const { return hasValues; }
    const std::array<std::int16_t, 3>& Values() const { return values; } // X, Y, Z

    // Takes the values stored for the magnetometer `magSerial`. False when it has none.
    bool Load(const std::string& magSerial);
    // Stores the values for the magnetometer `magSerial`.
    std::optional<SaveFailure> Save(const std::string& magSerial) const;

private:
    std::array<std::int16_t, 3> values{};
    bool hasValues = false;
    CMagCollection collection;
};
