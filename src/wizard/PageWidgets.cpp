#include "wizard/PageWidgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
