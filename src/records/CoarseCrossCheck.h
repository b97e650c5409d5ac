#pragma once

#include <array>

#include "records/CalibrationMath.h"

// The four coarse headings of one aircraft see one earth field. In the level frame the hard
// iron is a fixed offset and the earth's horizontal field a vector of one strength that turns
// with the heading, so the four levelled horizontal fields are the hard iron plus that vector
// turned by 0, 90, 180 and 270 degrees; the vertical is the same at every heading, and once
// the vertical correction is applied it equals the free-field Z. A heading whose collection
// went wrong (a changed digit the collection's own check could not tell, the aircraft moved,
// the wrong heading collected) does not fit the other three.
//
// Horizontal: the hard iron and the turning vector are fitted to the four headings (the hard
// iron comes out as their mean, as the corrections take it); each heading's distance from
// the fit, as a fraction of the horizontal field, must stay within kHorizontalTolerance =
// 0.2. A real aircraft's soft iron puts a heading up to about 5 % off the fit, and an
// aircraft standing 15 degrees off a cardinal heading about 13 % (half the error of its
// position); the simulated unit's soft iron and noise stay under 1 %. The heading that looks
// wrong is the one without which the other three fit best.
// Vertical: each heading's vertical after the correction may differ from the free-field Z by
// kVerticalTolerance = 8 % of the free-field strength: soft iron carries up to about 5 % of
// the horizontal field into the vertical (all of the field near the magnetic equator), and
// half a degree of pitch or roll error about 1 % of the field, which leaves 2 % to spare;
// the simulated unit stays under 0.5 %. A wrong heading carries three quarters
// of its error here, each of the others one quarter.
// The sensor's noise is negligible beside both: a mean of ten samples of 3 counts is within
// about one count.
struct CoarseCrossCheck {
    static constexpr double kHorizontalTolerance = 0.2;
    static constexpr double kVerticalTolerance = 0.08;

    // By heading index: distance from the horizontal fit as a fraction of the horizontal
    // field, and the vertical's difference from the free-field Z as a fraction of the
    // free-field strength.
    std::array<double, 4> horizontal{};
    std::array<double, 4> vertical{};
    // The heading that looks wrong, else -1 (all agree, or no heading can be named).
    int suspect = -1;
    // False also when there is nothing to judge by: no free field, or no horizontal field
    // (the aircraft never turned).
    bool agree = true;
};

CoarseCrossCheck CheckCoarseHeadings(const std::array<HeadingMeasurement, 4>& byHeading,
                                     const FreeFieldValues& freeField);
