#!/usr/bin/env python3
"""Writes the maintenance-port test captures (*.cap) in this folder.

Each capture is the raw byte stream of an HX410 maintenance port as a terminal would
receive it: screens painted with ESC [row;colH cursor sequences, banners, and the
garbage a shop's cable picks up. Each begins with '#' lines that say what it holds
(hx410-decode --comments skips them). The streams are fixed: rerun this script only to
change a capture on purpose, then rebuild the expected decodes with scripts/regen-checks.
"""

import pathlib

ESC = b"\x1b"
HERE = pathlib.Path(__file__).resolve().parent


def at(row, col, text, end=b""):
    """One screen field: cursor to (row, col), the text, then an optional line end."""
    if isinstance(text, str):
        text = text.encode("latin-1")
    return ESC + b"[%d;%dH" % (row, col) + text + end


def header(*lines):
    return b"".join(b"# " + line.encode() + b"\n" for line in lines)


def page_c_screen(i, heading, pitch, roll, status):
    raw = (heading + 3.5) % 360
    fields = [
        at(1, 1, "HX410 OUTPUT PAGE C"),
        at(3, 1, "PITCH    %7.2f" % pitch),
        at(3, 40, "ROLL     %7.2f" % roll),
        at(4, 1, "OutHdg   %7.2f" % heading),
        at(5, 1, "Mag Avg  %7.2f" % heading),
        at(5, 40, "Mag Raw  %7.2f" % raw),
        at(6, 1, "MagCorr  %7.2f" % ((heading + 1.25) % 360)),
        at(7, 1, "STAT     %04X" % status),
        at(8, 1, "X AVG    %d" % (1200 + 3 * i)),
        at(8, 30, "Y AVG    %d" % (-410 - i)),
        at(8, 60, "Z AVG    %d" % (5020 + i)),
        at(9, 1, "MAG XL   %d" % (-35 + i)),
        at(9, 30, "MAG YL   %d" % (812 - i)),
        at(10, 1, "MFC X %d" % -112),
        at(10, 20, "MFC Y %d" % 37),
        at(10, 40, "MFC Z %d" % -5),
        at(11, 1, "MCC N %.2f" % 1.25),
        at(11, 20, "MCC S %.2f" % -0.5),
        at(11, 40, "MCC E %.2f" % 0.75),
        at(11, 60, "MCC W %.2f" % -1.0),
        at(12, 1, "MNT      %d" % 9),
        at(14, 1, "10:22:%02d" % (i % 60)),
        at(15, 1, "%d %d %d" % (1200 + 3 * i, -410 - i, 5020 + i)),
    ]
    return ESC + b"[2J" + b"".join(fields) + ESC + b"[24;1H"


def page_c_live():
    out = header(
        "HX410 maintenance port, output page C, 38400 8N1.",
        "Thirty live screens while the aircraft turns from 340 through north to 25 degrees,",
        "status valid (00CF) then magnetometer invalid (10CF) for the last five screens.",
    )
    for i in range(30):
        heading = (340 + 1.5 * i) % 360
        status = 0x00CF if i < 25 else 0x10CF
        out += page_c_screen(i, heading, 0.5 + 0.01 * i, -1.25 + 0.02 * i, status)
    return out


def page_f_identity():
    out = header(
        "HX410 maintenance port, output page F (identity and configuration),",
        "CR LF after every field, scale factor tables, two null-complete banners.",
    )
    crlf = b"\r\n"
    fields = [
        at(1, 1, "HX410 CONFIGURATION", crlf),
        at(2, 1, "Av 1.52", crlf),
        at(2, 30, "sn 40123", crlf),
        at(3, 1, "Mv 2.07", crlf),
        at(3, 30, "Sn 77001", crlf),
        at(4, 1, "AN 1", crlf),
        at(5, 1, "A429 1", crlf),
        at(5, 30, "ARINC 1", crlf),
        at(6, 1, "MNT 10", crlf),
        at(7, 1, "Lat 45.500000", crlf),
        at(7, 30, "Magvar -3.25", crlf),
        at(8, 1, "ASF XXN 0.99871", crlf),
        at(8, 30, "ASF XY -0.00213", crlf),
        at(9, 1, "GSF ZZP 1.00042", crlf),
        at(9, 30, "GSF ZX 0.0001", crlf),
        at(10, 1, "XX3P 1.002", crlf),
        at(10, 30, "YY12N 0.998", crlf),
        at(11, 1, "ZZ7P 1.0005", crlf),
        at(12, 1, "** ACCEL NULL COMPLETE **", crlf),
        at(13, 1, "** GYRO NULL COMPLETE **", crlf),
    ]
    out += ESC + b"[2J" + b"".join(fields) + ESC + b"[24;1H"
    # The same page again after the technician changed the mount and the ARINC output.
    out += ESC + b"[2J" + at(6, 1, "MNT 11", crlf) + at(5, 30, "ARINC 0", crlf) + ESC
    # A serial number of "0" means none: the known one stays.
    out += at(3, 30, "Sn 0", crlf) + ESC
    return out


def page_e_sensors():
    out = header(
        "HX410 maintenance port, output page E (position and raw sensors),",
        "tabs and runs of blanks inside fields, a BLK line with two numbers.",
    )
    fields = [
        at(1, 1, "Lat\t\t-33.865143"),
        at(1, 40, "Magvar    12.5"),
        at(2, 1, "X ACCEL   0.0123"),
        at(2, 30, "Y ACCEL  -0.0045"),
        at(2, 60, "Z ACCEL   1.0002"),
        at(3, 1, "X GYRO    0.01"),
        at(3, 30, "Y GYRO   -0.02"),
        at(3, 60, "Z GYRO    0.005"),
        at(4, 1, "X BIAS    0.0007"),
        at(4, 30, "Y BIAS   -0.0011"),
        at(4, 60, "Z BIAS    0.0002"),
        at(5, 1, "BLK 3     117.25"),
        at(6, 1, "PITCH T   12.0"),
        at(6, 30, "ROLL T    -3.0"),
        at(7, 1, "OutHdg    271.5"),
    ]
    return out + ESC + b"[2J" + b"".join(fields) + ESC + b"[24;1H"


def mcc_store():
    out = header(
        "Fine calibration store: MCC echoes after four MCC commands, then the erase and",
        "store banners, then the magnetometer power reset (RQ270 version '-----' while it",
        "restarts) and the stored corrections reported again.",
    )
    values = {"N": 1.75, "E": -0.5, "S": 2.25, "W": -1.25}
    for h in "NESW":
        out += ESC + b"[2J" + at(11, 1, "MCC %s %.2f" % (h, values[h])) + at(7, 1, "STAT 00CF")
    out += ESC + b"[20;1H++ MCC ERASE ++" + ESC + b"[21;1H++ MCC STORE ++" + ESC
    out += ESC + b"[2J" + at(3, 1, "Mv -----") + at(11, 1, "MCC N 0.00") + ESC
    out += ESC + b"[2J" + at(3, 1, "Mv 2.07")
    for row, h in enumerate("NSEW"):
        out += at(11 + row, 1, "MCC %s %.2f" % (h, values[h]))
    return out + ESC


def garbled():
    out = header(
        "A noisy cable: bit errors, a NUL byte followed by filler, a 70000-byte run",
        "without an escape, values that are not numbers or out of range, high bytes and a",
        "backslash in the version text, and a screen that parses cleanly after all of it.",
    )
    out += ESC + b"[2J" + at(3, 1, "PITCH 1.5") + at(3, 40, "ROLL -2.5")
    out += at(5, 1, "Mag Avg 100.0") + at(5, 40, "Mag Raw 99.5")
    out += at(4, 1, "\xe9\xff\x07 garbage \x01\x02")
    out += at(5, 1, "Mag Avg 9999.0")
    out += at(5, 40, "Mag Raw -12")
    out += at(3, 1, "PITCH nan") + at(3, 40, "ROLL inf")
    out += at(8, 1, "X AVG 1e300") + at(9, 1, "MAG XL -1e40")
    out += at(10, 1, "MFC X 40000") + at(12, 1, "MNT 99999999999")
    out += at(7, 1, "STAT 00CF") + at(7, 1, "STAT zz")
    out += at(2, 1, "Av 1.52\\b\xb0") + ESC
    # A NUL ends the piece the port read; the filler after it never holds an escape, so
    # whatever part of it is lost the next line starts cleanly.
    out += b"\x00" + b"~" * 1100 + ESC
    out += b"Lat: 45.5" + ESC + b"+3.5" + ESC + b"Sn 0" + ESC
    out += b"[9;1H" + b"Z" * 70000 + ESC
    out += at(5, 1, "Mag Avg 110.0") + at(6, 1, "MagCorr 0") + at(4, 1, "OutHdg 180")
    out += at(3, 1, "PITCH 2.0") + ESC
    return out


def broken_fields():
    out = header(
        "Fields broken by CR LF, tabs and runs of blanks inside the keyword and before the",
        "value, as a slow line repaints them; only an escape ends a line, so the roll on the",
        "pitch's line is never read. Decoded in one-byte pieces every blank ends a read.",
    )
    out += ESC + b"[2J" + at(3, 1, "PITCH   2.50") + at(3, 40, "ROLL\t-1.25")
    out += at(5, 1, "  Mag\t\r\n   Avg  \r\n 42.5 \r\n")
    out += at(5, 40, "Mag  \t Raw\r\n\r\n  41.0")
    out += at(8, 1, "X  \t  AVG  1234") + at(10, 1, "MFC\r\nZ   -12")
    out += at(11, 1, "MCC \t N\t1.25") + at(12, 1, "MNT 1\r\nROLL 2\r\n")
    return out + ESC


CAPTURES = {
    "page-c-live.cap": page_c_live,
    "page-f-identity.cap": page_f_identity,
    "page-e-sensors.cap": page_e_sensors,
    "mcc-store.cap": mcc_store,
    "garbled.cap": garbled,
    "broken-fields.cap": broken_fields,
}

if __name__ == "__main__":
    for name, make in CAPTURES.items():
        (HERE / name).write_bytes(make())
