#pragma once

#include <QSize>
#include <QTransform>

// The drawing coordinates of the compass rose and the rate meter: isotropic, one unit per
// pixel, the origin at the centre of the client area (half of each size, integer division)
// and y growing upward. A logical point (x, y) is the corner of device pixel
// (w/2 + x, h/2 - y) that lies nearest the device origin.
inline QTransform DrawingTransform(QSize client) {
    QTransform transform;
    transform.translate(client.width() / 2, client.height() / 2);
    transform.scale(1.0, -1.0);
    return transform;
}
