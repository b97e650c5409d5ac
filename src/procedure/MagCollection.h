#pragma once

#include "procedure/MagReading.h"
#include "records/MagSampleSet.h"

// A collection of a set number of RQ270 readings, one at a time as the page's ticks bring
// them: the free-field measurement and each coarse heading collect this way.
class CMagCollection {
public:
    // What a reading did.
    enum class Added {
        Idle, // no collection runs: the reading was not taken
        More, // taken, more are to come
        Last, // taken, and the collection is complete
    };

    // Begins collecting `count` readings; the samples of an earlier collection go.
    void Start(int count);
    // Ends a running collection; its samples go.
    void Abandon();
    // Drops the samples of a complete collection (they did not agree).
    void Drop() { samples.Clear(); }
    Added Add(const MagReading& reading);

    int ToGo() const { return toGo; }
    const CMagSampleSet& Samples() const { return samples; }

private:
    CMagSampleSet samples;
    int toGo = 0;
};
