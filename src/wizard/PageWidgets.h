#pragma once

#include <QSizePolicy>

class QLabel;
class QLineEdit;
class QPushButton;
class QString;

// The small controls every page builds, each with the object name that tests and
// accessibility tools find it by.

// A label; `height` QSizePolicy::Maximum lets it take only its text's height, so the
// page's spare room goes to the layouts' stretches.
QLabel* MakeLabel(const QString& text, const QString& name,
                  QSizePolicy::Policy height = QSizePolicy::Preferred);

// Makes `field` a read-only, unfocusable display named by `buddy` (its accessible name
// is the buddy's text without a colon). Returns the field.
QLineEdit* MakeReadOnlyField(QLineEdit* field, QLabel* buddy, const QString& name);

// A push button that Enter on the page does not press.
QPushButton* MakeButton(const QString& text, const QString& name);
