#pragma once

#include "report/PageContext.h"

#include <QString>

class QPainter;

// Something drawn at a fixed place on a report page. Its rectangle is in inches from the
// paper's top-left corner; its name lets a report find it again.
class CDrawObject {
public:
    CDrawObject() = default;
    CDrawObject(const CDrawObject&) = delete;
    CDrawObject& operator=(const CDrawObject&) = delete;
    virtual ~CDrawObject() = default;

    void SetRect(double left, double top, double right, double bottom);
    const InchRect& Rect() const noexcept { return rect; }
    void SetName(const QString& newName) { name = newName; }
    const QString& Name() const noexcept { return name; }

    virtual void Draw(QPainter& painter, const CPageContext& context) const = 0;

private:
    InchRect rect;
    QString name;
};
