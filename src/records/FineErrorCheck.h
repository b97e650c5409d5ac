#pragma once

#include <array>
#include <optional>

// Whether a cardinal error of the fine step fits the errors already recorded at the other
// headings. The error of a compass at heading h is, to first order,
//   A + B sin h + C cos h + D cos 2h
// (A the mounting misalignment, B and C the hard iron left over, D the quadrantal soft iron),
// so at the cardinal headings N = A + C + D, E = A + B - D, S = A - C + D, W = A - B - D.
// - (N + S - E - W) / 4 = D whatever the hard iron and the misalignment: a real aircraft's
//   quadrantal soft iron stays within about 3 degrees, and hard iron large enough to give
//   errors up to the 20-degree limit adds at most 3.3 degrees through its second-order term.
//   Beyond kQuadrantalLimit = 7 degrees one of the four errors is wrong.
// - After the coarse step has taken the hard iron out, B and C are what its measurements
//   left: under 6 degrees each even for a heading collected 23 degrees off its cardinal
//   heading, the most the coarse step's own check lets pass. Two errors then differ by at
//   most |C - B| + 2|D| = 6 sqrt 2 + 6, about 14.5 degrees with D up to 3 degrees, and an
//   error lies no farther than that from the median of one or two others. Beyond
//   kSpreadLimit = 15 degrees the new error is wrong. A clean simulated calibration leaves
//   errors within 0.3 degrees of each other.
enum class FineAgreement {
    Agrees,
    FarFromOthers, // the error lies too far from the others (after a coarse step)
    NotOneCompass  // all four together do not describe one compass
};

struct FineErrorLimits {
    static constexpr double kSpreadLimit = 15.0;
    static constexpr double kQuadrantalLimit = 7.0;
};

// `recorded`: the errors already recorded by heading index (N, S, E, W); the entry of
// `heading` itself is ignored. `hardIronCorrected`: the coarse step set the field corrections.
FineAgreement CheckFineError(int heading, double error,
                             const std::array<std::optional<double>, 4>& recorded,
                             bool hardIronCorrected);
