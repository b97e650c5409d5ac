#pragma once

#include <QWidget>

// A horizontal bar showing a signed value (the heading rate) as a black line over a red bar
// with a green band in its centre. The value at full scale reaches the end of the bar; the
// green band's half-width is a fraction of the bar's width. It only displays.
class CRateMeterCtrl : public QWidget {
    Q_OBJECT

public:
    CRateMeterCtrl(double fullScale, double greenFraction, QWidget* parent = nullptr);

    // Stores the value and repaints, every time. A value that is not a number is shown
    // at the centre.
    void SetValue(double value);
    double Value() const noexcept { return value; }

    // Line position in drawing units (origin at the centre, one unit per pixel) for a bar
    // `width` pixels wide: the value's share of half the bar, kept one pixel inside each end.
    int LinePosition(int width) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double fullScale;
    double greenFraction;
    double value = 0.0;
};
