#pragma once

#include "report/DrawObject.h"

#include <QColor>
#include <QImage>

#include <optional>

// A picture stretched into its rectangle, optionally framed.
class CDrawPicture : public CDrawObject {
public:
    // A frame drawn on the rectangle's edge; its width is in inches.
    struct Frame {
        Qt::PenStyle style = Qt::SolidLine;
        double width = 0.01;
        QColor colour = Qt::black;
    };

    void SetPicture(const QImage& image) { picture = image; }
    const QImage& Picture() const noexcept { return picture; }
    void SetFrame(std::optional<Frame> newFrame) { frame = newFrame; }

    void Draw(QPainter& painter, const CPageContext& context) const override;

private:
    QImage picture;
    std::optional<Frame> frame;
};
