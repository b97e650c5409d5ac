#pragma once

#include <array>
#include <cstdint>

// The magnetic half of the simulated unit: the earth's field at the aircraft, the
// magnetometer's installation errors and the heading arithmetic the unit applies.
// Pure computation without noise or time; CSimUnit adds both.
//
// Frames: the local level frame is NED (x forward along the magnetic heading's
// horizontal projection, y right, z down). The sensor frame follows the aircraft's
// pitch and roll; leveling sensor counts (X, Y, Z) with pitch p and roll r is
//   A = Y sin r + Z cos r;  Lx = X cos p + A sin p;  Ly = Y cos r - Z sin r;
//   Lz = A cos p - X sin p,
// and a level-frame vector becomes sensor counts through the inverse rotation.

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

struct MagModelParams {
    // Dipole field: horizontal = fieldCounts cos(lat), vertical = 2 fieldCounts sin(lat),
    // with the latitude taken as the magnetic latitude.
    double latitude = 45.0;
    double fieldCounts = 16000.0;
    // Aircraft hard iron in sensor counts.
    Vec3 hardIron{620.0, -1150.0, 480.0};
    // Aircraft soft iron, row-major 3x3 applied to the field in the sensor frame.
    std::array<double, 9> softIron{1.002, 0.002, 0.001, 0.002, 0.999, -0.001, 0.001, -0.001, 1.0};
    // Yaw of the magnetometer against the aircraft's axis, degrees.
    double misalignment = 0.5;
};

// Counts as the unit reports them: saturated to the signed 16-bit range.
struct Counts3 {
    int16_t x = 0, y = 0, z = 0;
};

class CMagModel {
public:
    explicit CMagModel(const MagModelParams& params = MagModelParams());

    const MagModelParams& Params() const { return params; }
    void SetLatitude(double latitude) { params.latitude = latitude; }

    double HorizontalField() const;
    double VerticalField() const;

    // Earth's field in the level frame for a magnetic heading.
    Vec3 LevelField(double headingDeg) const;

    // Noise-free sensor reading before any MFC. In free field the magnetometer lies level,
    // away from the aircraft: no hard iron, no soft iron, no mounting misalignment.
    Vec3 SensorField(double headingDeg, double pitchDeg, double rollDeg, bool freeField) const;

    static Vec3 Level(const Vec3& sensor, double pitchDeg, double rollDeg);
    static Vec3 Unlevel(const Vec3& level, double pitchDeg, double rollDeg);

    // Heading of a leveled field, atan2(-Ly, Lx), in [0, 360).
    static double HeadingOf(const Vec3& level);

    // Compass correction at an uncorrected heading h: the cardinal values (index 0 N, 1 S,
    // 2 E, 3 W, at 0/360, 180, 90, 270 degrees) interpolated linearly between neighbours.
    static double CompassCorrectionAt(double headingDeg, const std::array<double, 4>& mcc);
    // h - c(h), wrapped into [0, 360).
    static double ApplyCompassCorrection(double headingDeg, const std::array<double, 4>& mcc);

    static Vec3 AddCorrection(const Vec3& sensor, const std::array<int16_t, 3>& mfc);
    static Counts3 Saturate(const Vec3& v);

    // The heading the unit outputs without noise: MFC added, leveled, MCC applied.
    double OutputHeading(double headingDeg, double pitchDeg, double rollDeg, bool freeField,
                         const std::array<int16_t, 3>& mfc, const std::array<double, 4>& mcc) const;

    static double WrapDegrees(double deg);   // [0, 360)
    static double SignedDegrees(double deg); // (-180, 180]

private:
    MagModelParams params;
};
