#include "procedure/PortOffer.h"

#include "device/AhrsLink.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

PortOffer OfferPorts(CAhrsLink& link, int saved) {
    PortOffer offer;
    offer.scan = link.ScanComPorts();
    const std::vector<int>& ports = offer.scan.ports;
    if (std::find(ports.begin(), ports.end(), saved) != ports.end()) {
        if (!link.IsPortOpen()) {
            link.Open(static_cast<std::uint8_t>(saved));
        }
        return offer;
    }
    const std::string path = DevicePathOfPort(link.Port().Places(), saved);
    if (saved != 0 && !path.empty() && ProbeComPort(path) == EBUSY) {
        offer.busyPort = saved;
    }
    return offer;
}
