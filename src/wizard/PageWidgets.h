#pragma once

#include <QRgb>
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

class QFrame;
class QGridLayout;
class QWidget;

// The line of a shown heading frame: a fixed colour, as the highlight of an inactive
// window can be the background's own.
inline constexpr QRgb kHeadingFrameColour = 0xff2f6db5;

// The frame around a heading's Calibrate button and result. Its line is drawn or left
// transparent, so the contents never move; it starts hidden.
QFrame* MakeHeadingFrame(const QString& name);
// The object name of a heading's control on the calibration pages, e.g. "northFrame".
QString HeadingObjectName(int heading, const char* role);
// Draws or hides the frame's line; it is repainted at once.
void ShowHeadingFrame(QFrame* frame, bool shown);

// The four heading blocks around the compass, as they lie on a compass card, with the
// note that the needle is for reference only at the top left. The bottom-right cell is
// left for the page.
QGridLayout* MakeCompassCross(QWidget* page, QWidget* north, QWidget* west, QWidget* compass,
                              QWidget* east, QWidget* south);
