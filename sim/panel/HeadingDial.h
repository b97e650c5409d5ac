#pragma once

#include <QDial>

// The aircraft's magnetic heading as a compass card: north up, east to the right, an
// aircraft in the middle pointing at the heading. Dragging anywhere on the card turns the
// aircraft towards the pointer; the arrow keys, Page Up/Down and the wheel step it.
// value() runs 0..360, where 0 and 360 are the same north; Heading() is 0..359.
class CHeadingDial : public QDial {
    Q_OBJECT

public:
    explicit CHeadingDial(QWidget* parent = nullptr);

    int Heading() const { return value() % 360; }

    QSize sizeHint() const override { return {190, 190}; }
    QSize minimumSizeHint() const override { return {130, 130}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The heading from the centre towards `point`, whole degrees 0..359.
    int HeadingAt(QPointF point) const;
    void DrawCard(QPainter& painter, double radius) const;
    void DrawAircraft(QPainter& painter, double radius) const;
};
