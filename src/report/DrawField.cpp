#include "report/DrawField.h"

namespace {

// Takes every `keyword` out of `text`; true when there was one.
bool TakeKeyword(QString& text, const QString& keyword) {
    const qsizetype before = text.size();
    text.remove(keyword);
    return text.size() != before;
}

} // namespace

void CDrawField::Resolve(TextStyle& drawStyle, QString& drawText) const {
    if (TakeKeyword(drawText, QStringLiteral("[%bold%]"))) {
        drawStyle.bold = true;
    }
    if (TakeKeyword(drawText, QStringLiteral("[%italic%]"))) {
        drawStyle.italic = true;
    }
}
