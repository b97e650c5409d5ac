#include "sim/SimDevice.h"

#include "sim/ScreenPainter.h"

#include <algorithm>
#include <string>
#include <vector>

CSimDevice::CSimDevice(const SimUnitConfig& config, const MagModelParams& model, double burstMs,
                       std::uint64_t seed)
    : unit(config, model, 0.0), pacer(burstMs, seed) {}

void CSimDevice::Step(double nowMs, bool listened) {
    unit.Advance(nowMs);
    // Due banners are taken even while silent, so a powered-off unit forgets them.
    const std::vector<std::string> banners = unit.TakeDueBanners(nowMs);
    if (!unit.IsPowered() || !listened) {
        pacer.Clear();
        return;
    }
    for (const std::string& banner : banners) {
        pacer.Push(CScreenPainter::PaintBanner(banner));
    }
    PaintIfDue(nowMs);
}

void CSimDevice::PaintIfDue(double nowMs) {
    // A new frame is built only when the previous one is out, so every value is fresh
    // when it is sent and the queue never grows beyond one page.
    if (!pacer.Empty() || nowMs < nextPaintMs) {
        return;
    }
    const char page = unit.Page();
    pacer.Push(CScreenPainter::Paint(page, unit.Sample(nowMs), page != paintedPage));
    paintedPage = page;
    nextPaintMs = std::max(nextPaintMs + kPaintPeriodMs, nowMs);
}

void CSimDevice::Receive(std::string_view bytes, double nowMs) {
    for (const std::string& line : reader.Feed(bytes)) {
        unit.HandlePortLine(line, nowMs);
    }
}

void CSimDevice::Disconnect() {
    pacer.Clear();
    reader = CCommandReader();
    paintedPage = 0;
}
