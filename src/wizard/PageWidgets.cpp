#include "wizard/PageWidgets.h"

#include "records/CalibrationMath.h"
#include "wizard/Geometry.h"

#include <QColor>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

QLabel* MakeLabel(const QString& text, const QString& name, QSizePolicy::Policy height) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    if (height != QSizePolicy::Preferred) {
        label->setSizePolicy(QSizePolicy::Preferred, height);
    }
    return label;
}

QLineEdit* MakeReadOnlyField(QLineEdit* field, QLabel* buddy, const QString& name) {
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setAccessibleName(buddy->text().remove(QLatin1Char(':')));
    buddy->setBuddy(field);
    return field;
}

QPushButton* MakeButton(const QString& text, const QString& name) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QFrame* MakeHeadingFrame(const QString& name) {
    auto* frame = new QFrame;
    frame->setObjectName(name);
    frame->setStyleSheet(
        QStringLiteral("QFrame#%1 { border: 2px solid transparent; border-radius: 4px; }"
                       "QFrame#%1[frameShown=\"true\"] { border-color: %2; }")
            .arg(name, QColor(kHeadingFrameColour).name()));
    frame->setProperty("frameShown", false);
    return frame;
}

QString HeadingObjectName(int heading, const char* role) {
    return QString::fromLatin1(kHeadingNames[heading]).toLower() + QString::fromLatin1(role);
}

void ShowHeadingFrame(QFrame* frame, bool shown) {
    if (frame->property("frameShown").toBool() != shown) {
        frame->setProperty("frameShown", shown);
        frame->style()->unpolish(frame);
        frame->style()->polish(frame);
        // A new style does not repaint what the window system already shows.
        frame->update();
    }
}

QGridLayout* MakeCompassCross(QWidget* page, QWidget* north, QWidget* west, QWidget* compass,
                              QWidget* east, QWidget* south) {
    auto* cross = new QGridLayout;
    cross->setSpacing(DialogUnitsToPixels(page, 7, 0).width());
    cross->addWidget(north, 0, 1, Qt::AlignHCenter | Qt::AlignBottom);
    cross->addWidget(west, 1, 0, Qt::AlignRight | Qt::AlignVCenter);
    cross->addWidget(compass, 1, 1, Qt::AlignCenter);
    cross->addWidget(east, 1, 2, Qt::AlignLeft | Qt::AlignVCenter);
    cross->addWidget(south, 2, 1, Qt::AlignHCenter | Qt::AlignTop);
    QLabel* reference = MakeLabel(QStringLiteral("For Reference Only\nDo Not Align Aircraft\nto "
                                                 "Display Needle"),
                                  QStringLiteral("referenceNote"));
    QFont referenceFont = page->font();
    referenceFont.setWeight(QFont::Bold);
    reference->setFont(referenceFont);
    cross->addWidget(reference, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    return cross;
}
