#pragma once

#include "sim/SimUnit.h"

#include <string>

// Paints the unit's output pages as a terminal screen: every line is the escape
// character, a cursor position "[row;colH" and the text. A repaint ends by parking the
// cursor, so its last value line is complete as soon as it is sent.
//
// Page C (live values): PITCH, ROLL, OutHdg, Mag Avg, Mag Raw, X/Y/Z AVG, MAG XL/YL,
//   MFC X/Y/Z, MCC N/E/S/W, MNT, STAT and, while the status is invalid, a count-down
//   data line ("27 SEC WARMUP").
// Page E (navigation settings): Lat, Magvar, STAT, MCC N/E/S/W and the clock hh:mm:ss.
// Page F (identification): Av, Mv, sn, Sn, A429, ARINC, MNT, STAT, MCC N/E/S/W.
class CScreenPainter {
public:
    // The full page; `clear` first erases the screen (after a page change).
    static std::string Paint(char page, const UnitReadout& r, bool clear);

    // An acknowledgement banner on its own line.
    static std::string PaintBanner(const std::string& text);

    static std::string At(int row, int col, const std::string& text);

private:
    static void PaintPageC(std::string& out, const UnitReadout& r);
    static void PaintPageE(std::string& out, const UnitReadout& r);
    static void PaintPageF(std::string& out, const UnitReadout& r);
    static void PaintStatus(std::string& out, int row, const UnitReadout& r);
    static void PaintMcc(std::string& out, int row, const UnitReadout& r);
};
