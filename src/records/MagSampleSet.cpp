#include "records/MagSampleSet.h"

void CMagSampleSet::Add(int16_t sx, int16_t sy, int16_t sz, int16_t sxl, int16_t syl, double sPitch,
                        double sRoll) {
    x.push_back(sx);
    y.push_back(sy);
    z.push_back(sz);
    xl.push_back(sxl);
    yl.push_back(syl);
    pitch.push_back(sPitch);
    roll.push_back(sRoll);
}

void CMagSampleSet::Clear() noexcept {
    x.clear();
    y.clear();
    z.clear();
    xl.clear();
    yl.clear();
    pitch.clear();
    roll.clear();
}
