#pragma once

#include <QDateTime>
#include <QPoint>
#include <QRect>
#include <QString>

class QPaintDevice;

// A rectangle in inches from the paper's top-left corner.
struct InchRect {
    double top = 0.0;
    double left = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

// What drawing one page needs to know: the device's resolution, where its drawing origin lies
// on the paper, the page number and the moment of printing. It turns inches into device pixels
// and fills in the keywords a text may carry.
class CPageContext {
public:
    // `origin` is the device pixel position of the drawing origin measured from the paper's
    // top-left corner: the unprintable margin of a printer.
    CPageContext(int resolution, QPoint origin, int page, QDateTime printed);

    // The context for drawing `page` on `device`, at its vertical resolution for both axes.
    static CPageContext ForDevice(const QPaintDevice& device, int page, const QDateTime& printed);

    int Resolution() const noexcept { return resolution; }
    int Page() const noexcept { return page; }

    // A length in inches as device pixels, rounded half up.
    int ToPixels(double inches) const;
    // A rectangle in inches from the paper's edge as device pixels from the drawing origin.
    QRect ToDevice(const InchRect& rect) const;
    // The character cell height in device pixels of a font `size` tenths of a point tall.
    int CellHeight(int size) const;

    // `text` with every "[%page%]" replaced by the page number, "[%date%]" by the date of
    // printing as MM/DD/YY and "[%time%]" by its time as HH:MM:SS (24-hour clock).
    QString Substitute(QString text) const;

private:
    int resolution;
    QPoint origin;
    int page;
    QDateTime printed;
};
