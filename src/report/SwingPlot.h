#pragma once

#include <QRgb>

class CCompassSwing;
class QPainter;
class QRectF;

// The fill of a point whose deviation is beyond the tolerance (a square; the others are black
// discs), and of the band the tolerance allows round the zero ring: a light grey with a little
// blue, printed as a light grey.
inline constexpr QRgb kSwingBeyondColour = 0xffd00000;
inline constexpr QRgb kSwingBandColour = 0xffd4dcea;

// Paints `swing` as a polar plot in the largest square centred in `area`: the angle is the
// aircraft's heading (000 at the top, clockwise, as on a compass), the distance from the middle
// ring (no deviation) the deviation, outwards for a unit that reads more than the aircraft's
// heading. The scale lets the larger of the largest deviation and `toleranceDeg` reach the rim;
// the band between -`toleranceDeg` and +`toleranceDeg` is shaded. The twelve lines are marked
// at the rim with their headings, the recorded deviations are points joined in heading order.
// Nothing is painted outside `area`. The labels take the painter's font, made smaller when
// it is too large for the plot; the painter's state is left as it was.
void PaintSwingPlot(QPainter& painter, const QRectF& area, const CCompassSwing& swing,
                    double toleranceDeg);
