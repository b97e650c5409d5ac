#pragma once

#include "device/ComPortList.h"

class CAhrsLink;

// The serial ports the connection page offers, with the port used last time opened when it
// is among them.
struct PortOffer {
    ComPortScan scan;
    int busyPort = 0; // the port used last time, missing because another program holds it
};

// Scans the ports and opens `saved` (the port used last time, 0 for none) when it is usable
// and the link has no port open. The scan probes each port exclusively, so a port the link
// holds open is missing from it.
PortOffer OfferPorts(CAhrsLink& link, int saved);
