#include "sim/ScreenPainter.h"

#include <cstdio>

namespace {

constexpr char kEsc = '\x1b';
constexpr int kBannerRow = 14;
constexpr int kParkRow = 24;

std::string Format(const char* format, double v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string Count(const char* label, int v) {
    return std::string(label) + " " + std::to_string(v);
}

} // namespace

std::string CScreenPainter::At(int row, int col, const std::string& text) {
    std::string s(1, kEsc);
    s += "[" + std::to_string(row) + ";" + std::to_string(col) + "H" + text;
    return s;
}

std::string CScreenPainter::Paint(char page, const UnitReadout& r, bool clear) {
    std::string out;
    out.reserve(900);
    if (clear) {
        out += std::string(1, kEsc) + "[2J";
    }
    out += At(1, 1, std::string("HX410 MAINTENANCE PAGE ") + page);
    switch (page) {
    case 'E':
        PaintPageE(out, r);
        break;
    case 'F':
        PaintPageF(out, r);
        break;
    default:
        PaintPageC(out, r);
        break;
    }
    out += At(kParkRow, 1, "");
    return out;
}

std::string CScreenPainter::PaintBanner(const std::string& text) {
    return At(kBannerRow, 20, text) + At(kParkRow, 1, "");
}

void CScreenPainter::PaintStatus(std::string& out, int row, const UnitReadout& r) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "STAT %04X", static_cast<unsigned>(r.status));
    out += At(row, 40, buf);
}

void CScreenPainter::PaintMcc(std::string& out, int row, const UnitReadout& r) {
    // Clockwise order on screen; heading index 0 N, 1 S, 2 E, 3 W.
    static const struct {
        const char* label;
        int index;
    } cells[] = {{"MCC N ", 0}, {"MCC E ", 2}, {"MCC S ", 1}, {"MCC W ", 3}};
    int col = 1;
    for (const auto& cell : cells) {
        out +=
            At(row, col, cell.label + Format("%.2f", r.mcc[static_cast<std::size_t>(cell.index)]));
        col += 20;
    }
}

void CScreenPainter::PaintPageC(std::string& out, const UnitReadout& r) {
    out += At(3, 1, Format("PITCH %.2f", r.pitch));
    out += At(3, 40, Format("ROLL %.2f", r.roll));
    out += At(4, 1, Format("OutHdg %.2f", r.outputHeading));
    out += At(4, 40, Format("Mag Avg %.2f", r.magAvg));
    out += At(5, 1, Format("Mag Raw %.2f", r.magRaw));
    out += At(6, 1, Count("X AVG", r.avg.x));
    out += At(6, 27, Count("Y AVG", r.avg.y));
    out += At(6, 53, Count("Z AVG", r.avg.z));
    out += At(7, 1, Count("MAG XL", r.magLevel[0]));
    out += At(7, 27, Count("MAG YL", r.magLevel[1]));
    out += At(8, 1, Count("MFC X", r.mfc[0]));
    out += At(8, 27, Count("MFC Y", r.mfc[1]));
    out += At(8, 53, Count("MFC Z", r.mfc[2]));
    PaintMcc(out, 9, r);
    out += At(10, 1, Count("MNT", r.mount));
    PaintStatus(out, 10, r);
    if (!r.dataLine.empty()) {
        out += At(12, 1, r.dataLine);
    }
}

void CScreenPainter::PaintPageE(std::string& out, const UnitReadout& r) {
    out += At(3, 1, Format("Lat %.2f", r.latitude));
    out += At(3, 40, Format("Magvar %.2f", r.magvar));
    out += At(5, 1, r.clock);
    PaintStatus(out, 5, r);
    PaintMcc(out, 7, r);
}

void CScreenPainter::PaintPageF(std::string& out, const UnitReadout& r) {
    out += At(3, 1, "Av " + r.ahrsVersion);
    out += At(3, 40, "Mv " + r.magVersion);
    out += At(4, 1, "sn " + r.ahrsSerial);
    out += At(4, 40, "Sn " + r.magSerial);
    out += At(5, 1, r.a429 >= 0.5 ? "A429 1.0 HIGH" : "A429 0.0 LOW");
    out += At(5, 40, Format("ARINC %.1f", r.arinc));
    out += At(6, 1, Count("MNT", r.mount));
    PaintStatus(out, 6, r);
    PaintMcc(out, 8, r);
}
