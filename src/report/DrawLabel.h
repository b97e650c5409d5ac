#pragma once

#include "report/DrawObject.h"

#include <QColor>
#include <QFont>
#include <QString>

// How a label or field writes its text.
struct TextStyle {
    enum class Align { Left, Centre };

    QString face = QStringLiteral("Times New Roman");
    int size = 120; // tenths of a point
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QColor colour = Qt::black;
    Align align = Align::Left;
};

// Text written into its rectangle: word-wrapped, cut off where it leaves the rectangle, with
// the page number, date and time keywords filled in.
class CDrawLabel : public CDrawObject {
public:
    explicit CDrawLabel(const TextStyle& style);

    void SetText(const QString& newText) { text = newText; }
    // A verbatim text is written as it stands: no keyword in it is filled in or taken out
    // (a value that came from the technician or the unit).
    void SetVerbatim(bool on) { verbatim = on; }
    const QString& Text() const noexcept { return text; }
    const TextStyle& Style() const noexcept { return style; }

    void Draw(QPainter& painter, const CPageContext& context) const override;

    // The font of `style` whose character cell (ascent plus descent) is `cellHeight` pixels.
    static QFont MakeFont(const TextStyle& style, int cellHeight);

protected:
    // Lets a subclass adjust the style and text just before drawing.
    virtual void Resolve(TextStyle& /*drawStyle*/, QString& /*drawText*/) const {}

private:
    TextStyle style;
    QString text;
    bool verbatim = false;
};
