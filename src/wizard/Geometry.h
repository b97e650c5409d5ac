#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

// Scale of a window's logical resolution against the 96 dots per inch that the dialog
// layouts were drawn for.
double ScreenScale(const QWidget* widget);

// Pixels of a size given in dialog units of the classic 8-point dialog font
// (a horizontal unit is a quarter of its 6-pixel average character width, a vertical
// unit an eighth of its 13-pixel height), at the widget's screen resolution.
QSize DialogUnitsToPixels(const QWidget* widget, int widthUnits, int heightUnits);

// Where a top-level window of `size` goes: centred over the frame of `owner`'s window when
// it is visible and not minimised, otherwise over the work area of the screen, then moved
// so that it lies inside the work area.
QPoint CentredPosition(const QWidget* window, const QWidget* owner);

class QRect;

// Where a window at `box` goes so that it leaves `keepClear` uncovered: where it is when it
// covers none of it, else just below it or else just above it (`gap` apart), whichever
// first lies within `within`; where it is when neither does.
QPoint ClearOf(const QRect& box, const QRect& keepClear, const QRect& within, int gap);

class QFont;

// A bold font of the widget's face whose line height is at most `pixels` logical pixels
// at 96 dots per inch (the height of a classic dialog font request), scaled to the screen.
QFont BoldFontOfHeight(const QWidget* widget, int pixels);
