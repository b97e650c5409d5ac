#include "records/CoarseCrossCheck.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace {

using Point = std::complex<double>; // a level-frame horizontal field (x, y)

// The level field at magnetic heading h is the horizontal field turned by -h.
Point TurnOf(int heading) {
    static constexpr std::array<double, 4> kDegrees{0.0, 180.0, 90.0, 270.0}; // N, S, E, W
    return std::polar(1.0, -kDegrees[heading] * std::numbers::pi / 180.0);
}

// Least-squares fit of point = hardIron + field * TurnOf(heading) to the headings other than
// `leftOut` (-1: all four). `worst` is the largest distance of a fitted heading from the fit,
// as a fraction of |field|; `distance` holds each heading's.
struct Fit {
    Point field;
    std::array<double, 4> distance{};
    double worst = 0.0;
};

Fit FitHeadings(const std::array<Point, 4>& points, int leftOut) {
    double n = 0.0;
    Point sumTurn, sumPoint, sumTurnedBack;
    for (int heading = 0; heading < 4; ++heading) {
        if (heading == leftOut) {
            continue;
        }
        n += 1.0;
        sumTurn += TurnOf(heading);
        sumPoint += points[heading];
        sumTurnedBack += std::conj(TurnOf(heading)) * points[heading];
    }
    // n hardIron + sumTurn field = sumPoint; conj(sumTurn) hardIron + n field = sumTurnedBack.
    const double determinant = n * n - std::norm(sumTurn);
    const Point hardIron = (n * sumPoint - sumTurn * sumTurnedBack) / determinant;
    Fit fit;
    fit.field = (n * sumTurnedBack - std::conj(sumTurn) * sumPoint) / determinant;
    const double strength = std::abs(fit.field);
    for (int heading = 0; heading < 4; ++heading) {
        fit.distance[heading] =
            std::abs(points[heading] - hardIron - fit.field * TurnOf(heading)) / strength;
        if (heading != leftOut) {
            fit.worst = std::max(fit.worst, fit.distance[heading]);
        }
    }
    return fit;
}

// The heading without which the other three fit best.
int LeastFitting(const std::array<Point, 4>& points) {
    int best = 0;
    double bestWorst = HUGE_VAL;
    for (int heading = 0; heading < 4; ++heading) {
        const double worst = FitHeadings(points, heading).worst;
        if (worst < bestWorst) {
            bestWorst = worst;
            best = heading;
        }
    }
    return best;
}

int LargestOf(const std::array<double, 4>& values) {
    const auto largest = std::max_element(values.begin(), values.end(), [](double a, double b) {
        return std::fabs(a) < std::fabs(b);
    });
    return static_cast<int>(largest - values.begin());
}

} // namespace

CoarseCrossCheck CheckCoarseHeadings(const std::array<HeadingMeasurement, 4>& byHeading,
                                     const FreeFieldValues& freeField) {
    std::array<Point, 4> points;
    std::array<double, 4> verticals{};
    double meanVertical = 0.0;
    for (int heading = 0; heading < 4; ++heading) {
        const LevelComponents level = LevelOf(byHeading[heading]);
        points[heading] = {level.x, level.y};
        verticals[heading] = level.z;
        meanVertical += level.z / 4.0;
    }
    const double field =
        std::sqrt(double(freeField.x) * freeField.x + double(freeField.y) * freeField.y +
                  double(freeField.z) * freeField.z);
    const Fit fit = FitHeadings(points, -1);

    CoarseCrossCheck check;
    if (!(std::abs(fit.field) >= 1.0) || !(field >= 1.0) || !std::isfinite(fit.worst)) {
        check.agree = false; // nothing to judge the headings by
        return check;
    }
    check.horizontal = fit.distance;
    for (int heading = 0; heading < 4; ++heading) {
        // The vertical after the correction is the free-field Z plus this difference.
        check.vertical[heading] = (verticals[heading] - meanVertical) / field;
    }
    const double horizontalRatio = fit.worst / CoarseCrossCheck::kHorizontalTolerance;
    const double verticalRatio =
        std::fabs(check.vertical[LargestOf(check.vertical)]) / CoarseCrossCheck::kVerticalTolerance;
    if (horizontalRatio <= 1.0 && verticalRatio <= 1.0) {
        return check;
    }
    check.agree = false;
    check.suspect =
        verticalRatio > horizontalRatio ? LargestOf(check.vertical) : LeastFitting(points);
    return check;
}
