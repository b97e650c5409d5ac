#pragma once

#include "controls/CompassLabel.h"
#include "controls/NeedlePolygon.h"

#include <QWidget>

#include <vector>

class QPainter;

// The compass rose: a red needle turning over a card with a rim, eight spokes and the
// letters N, E, S and W. It only displays. The needle is drawn while the control is enabled
// and the needle is shown; like the dialog item it stands for, the control starts disabled,
// so the needle stays hidden until the page enables it.
//
// A heading change repaints only the inner circle that holds the needle, not the north
// letter and the rim; an unchanged heading repaints nothing.
class CCompassCtrl : public QWidget {
    Q_OBJECT

public:
    static constexpr int kNeedleResourceId = 228;

    explicit CCompassCtrl(int needleResourceId = kNeedleResourceId, QWidget* parent = nullptr);

    // Needle direction in degrees clockwise from north. A value that is not a finite number
    // is ignored.
    void SetHeading(double degrees);
    double Heading() const noexcept { return heading; }

    void ShowNeedle(bool show);
    bool IsNeedleShown() const noexcept { return needleShown; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawFace(QPainter& painter, int radius) const;
    void DrawSpokes(QPainter& painter, int radius) const;
    // Draws the letters inside `radius`; returns the radius left clear under the north letter.
    int DrawLabels(QPainter& painter, int radius) const;
    void DrawRim(QPainter& painter, int radius) const;
    void DrawNeedle(QPainter& painter);
    QColor FaceColour() const;

    CNeedlePolygon needle;
    std::vector<CCompassLabel> labels;
    double heading = 0.0;
    bool needleShown = true;
    int clearRadius = 0; // set by every paint; 0 until the first
};
