#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The wizard's pictures, drawn at the size and resolution they are shown at, so they
// stay sharp on any screen: the header band of the interior pages, the watermark at the
// left of the welcome page and the application icon.
namespace Artwork {

// A band of `size` logical pixels: a calm light gradient with a compass and aircraft
// symbol at the right.
QPixmap HeaderPicture(QSize size, qreal devicePixelRatio);

// A tall picture of `size` logical pixels: a dark blue gradient with a compass rose and
// an aircraft seen from above.
QPixmap WatermarkPicture(QSize size, qreal devicePixelRatio);

// The program's icon, in the usual sizes from 16 to 256 pixels.
QIcon ApplicationIcon();

} // namespace Artwork
