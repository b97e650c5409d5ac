#include "procedure/MagCollection.h"

void CMagCollection::Start(int count) {
    samples.Clear();
    toGo = count;
}

void CMagCollection::Abandon() {
    toGo = 0;
    samples.Clear();
}

CMagCollection::Added CMagCollection::Add(const MagReading& reading) {
    if (toGo <= 0) {
        return Added::Idle;
    }
    --toGo;
    samples.Add(reading.counts[0], reading.counts[1], reading.counts[2], reading.level[0],
                reading.level[1], reading.pitch, reading.roll);
    return toGo > 0 ? Added::More : Added::Last;
}
