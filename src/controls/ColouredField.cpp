#include "controls/ColouredField.h"

namespace {

QColor ShadeColour(bool valid) {
    return valid ? QColor(0, 255, 0) : QColor(255, 0, 0);
}

} // namespace

CColouredField::CColouredField(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
}

void CColouredField::SetValid() {
    Apply(Shade::Valid);
}

void CColouredField::SetInvalid() {
    Apply(Shade::Invalid);
}

void CColouredField::SetNeutral() {
    clear();
    if (shade != Shade::Neutral) {
        shade = Shade::Neutral;
        setPalette(QPalette()); // the desktop's own field colours again
    }
}

void CColouredField::Apply(Shade newShade) {
    if (newShade == shade) {
        return;
    }
    shade = newShade;
    // Black text on both shades, whatever the desktop's colour scheme.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, ShadeColour(shade == Shade::Valid));
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);
}
