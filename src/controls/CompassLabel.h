#pragma once

#include <QString>

// One letter group of the compass card.
struct CCompassLabel {
    double angle = 0.0; // position on the card, degrees clockwise from north
    QString text;
    double size = 100.0; // font height in percent of the card's font basis
    bool bold = false;   // drawn bold and italic
};
