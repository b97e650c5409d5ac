#pragma once

#include <QPointF>
#include <QPolygon>
#include <QString>

#include <string_view>
#include <vector>

// The compass needle: its source vertices in needle units (the head towards +y) and the
// rotated, scaled copy in whole pixels, kept until the angle or the scale changes.
class CNeedlePolygon {
public:
    // Loads the vertices of text resource `id` of type POINTS (":/POINTS/<id>"). Returns
    // false, leaving no vertices, when the resource is missing or holds none.
    bool LoadResource(int id);

    // Reads one "x, y" vertex a line (decimal integers, blanks around the comma optional,
    // LF or CR LF). A line without two numbers is skipped.
    void LoadText(std::string_view text);

    const std::vector<QPointF>& SourcePoints() const noexcept { return source; }

    // The vertices turned by `angle` degrees (counter-clockwise with y upward) and scaled;
    // each coordinate has one half added and is truncated toward zero.
    const QPolygon& Rotate(double angle, double scale);

    // Distance of the farthest vertex from the origin at `scale`, in whole pixels, rounded up.
    int Reach(double scale) const;

private:
    std::vector<QPointF> source;
    QPolygon rotated;
    double cachedAngle = 0.0;
    double cachedScale = 0.0;
};
