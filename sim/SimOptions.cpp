#include "sim/SimOptions.h"

#include "sim/ControlCommands.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "sim/NumberText.h"

namespace {

bool ParseList(const std::string& text, std::size_t count, std::vector<double>& values) {
    values.clear();
    std::size_t pos = 0;
    while (true) {
        const std::size_t comma = text.find(',', pos);
        double v = 0;
        if (!ParseNumber(
                text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos),
                v)) {
            return false;
        }
        values.push_back(v);
        if (comma == std::string::npos) {
            break;
        }
        pos = comma + 1;
    }
    return values.size() == count;
}

bool InRange(double v, double lo, double hi) {
    return v >= lo && v <= hi;
}

} // namespace

std::string CSimOptions::Usage() {
    std::string s =
        "Usage: hx410-sim [options]\n"
        "A simulated HX410 with its RQ270 on a pseudo-terminal. Prints \"COM<N> <slave path>\"\n"
        "as its first line, then answers the control commands below on standard input.\n"
        "\n"
        "Link and time:\n"
        "  --com N              COM number of the link (default: lowest free, 1..255)\n"
        "  --port-dir DIR       directory of the COM links\n"
        "                       (default: $XDG_CONFIG_HOME/hx410-install/ports, or\n"
        "                       $HOME/.config/hx410-install/ports)\n"
        "  --time-scale K       run every timing K times faster (default 1)\n"
        "  --seed S             noise generator seed (default 1)\n"
        "  --no-control         read no control commands: run until SIGTERM or SIGINT,\n"
        "                       whatever standard input holds (`hx410-sim --no-control &`)\n"
        "  --panel              also open the control window (GUI builds): heading dial,\n"
        "                       attitude, power, magnetometer, free field, faults, adapter\n"
        "                       and compass swing. Closing it ends the simulator; the end of\n"
        "                       standard input then does not (`quit` still does)\n"
        "  --version            print the version and exit\n"
        "Replay:\n"
        "  --replay FILE        play a capture as the unit's output instead of the model:\n"
        "                       the raw port bytes of `hx410-decode --capture` (or any byte\n"
        "                       file; leading '#' lines are skipped), at the line rate\n"
        "                       times the time scale. It starts from its first byte each\n"
        "                       time a program opens the port and clears it (hx410-install\n"
        "                       and hx410-decode do); nothing sent to the port is answered,\n"
        "                       and the only control command is `quit`\n"
        "  --loop               play it again and again (default: once)\n"
        "Identity:\n"
        "  --ahrs-version TEXT  (default \"HX410 V1.62\")   --mag-version TEXT (\"RQ270 V2.10\")\n"
        "  --ahrs-serial SN     (default 410123)          --mag-serial SN    (270456)\n"
        "Unit and aircraft:\n"
        "  --mount N            mount position (default 9)\n"
        "  --latitude DEG       latitude, also the configured one (default 45)\n"
        "  --magvar DEG         configured magnetic variation (default -3.5)\n"
        "  --heading DEG        aircraft magnetic heading (default 0)\n"
        "  --pitch DEG          aircraft pitch (default 1.2)\n"
        "  --roll DEG           aircraft roll (default -0.7)\n"
        "  --warmup SEC         warm-up after power-on (default 30; status 0x4D and a\n"
        "                       count-down line \"<n> SEC WARMUP\", then 0xCF)\n"
        "Magnetometer model (dipole earth field; sensor = soft iron x field + hard iron\n"
        "+ MFC + noise):\n"
        "  --field COUNTS       dipole strength: horizontal = F cos(lat), vertical =\n"
        "                       2 F sin(lat) (default 16000)\n"
        "  --hard-iron X,Y,Z    aircraft hard iron, counts (default 620,-1150,480)\n"
        "  --soft-iron 9 VALUES row-major 3x3 (default\n"
        "                       1.002,0.002,0.001,0.002,0.999,-0.001,0.001,-0.001,1)\n"
        "  --misalignment DEG   magnetometer yaw against the aircraft (default 0.5)\n"
        "  --noise COUNTS       sensor noise, standard deviation (default 3)\n"
        "  --heading-noise DEG  noise on the averaged heading (default 0.01)\n"
        "\n"
        "Timings (program time): RQ270 answers 4 s after power-on and after\n"
        "\"RESET MAG POWER\" (\"Mv -----\" and status bit 0x1000 until then; MCC and the\n"
        "ARINC 429 speed are reloaded from storage); \"RESET IMU\" re-initialises for 3 s;\n"
        "the ERASE/STORE banners follow their command by 3 s; pages repaint every 200 ms\n"
        "at the line rate of 3840 bytes/s.\n"
        "\n"
        "Output pages (\"PAGE x\", default C after power-on):\n"
        "  C: PITCH, ROLL, OutHdg, Mag Avg, Mag Raw, X/Y/Z AVG, MAG XL/YL, MFC X/Y/Z,\n"
        "     MCC N/E/S/W, MNT, STAT and, while initialising, \"<n> SEC WARMUP\"\n"
        "  E: Lat, Magvar, STAT, MCC N/E/S/W, clock hh:mm:ss\n"
        "  F: Av, Mv, sn, Sn, A429, ARINC, MNT, STAT, MCC N/E/S/W\n"
        "\"unplug\" closes the pseudo-terminal (clients see a hang-up) and opens a new one\n"
        "200 ms later, re-pointing the same COM link at it, as a replugged adapter would.\n"
        "\n";
    return s + CControlCommands::HelpText();
}

std::string CSimOptions::Parse(int argc, const char* const* argv, SimOptions& o) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        if (name == "--version") {
            o.version = true;
            continue;
        }
        if (name == "--no-control") {
            o.control = false;
            continue;
        }
        if (name == "--panel") {
            o.panel = true;
            continue;
        }
        if (name == "--loop") {
            o.loop = true;
            continue;
        }
        static const char* const known[] = {
            "--com",           "--port-dir",    "--time-scale", "--seed",         "--ahrs-version",
            "--mag-version",   "--ahrs-serial", "--mag-serial", "--mount",        "--latitude",
            "--magvar",        "--heading",     "--pitch",      "--roll",         "--warmup",
            "--field",         "--hard-iron",   "--soft-iron",  "--misalignment", "--noise",
            "--heading-noise", "--replay"};
        if (std::find(std::begin(known), std::end(known), name) == std::end(known)) {
            return "unknown option " + name + " (see --help)";
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                return name + " needs a value (see --help)";
            }
            value = argv[++i];
        }
        double v = 0;
        std::vector<double> list;
        const bool number = ParseNumber(value, v);
        const std::string bad = "bad value for " + name + ": '" + value + "'";
        if (name == "--com") {
            if (!number || v != std::floor(v) || !InRange(v, 1, 255)) {
                return bad;
            }
            o.com = static_cast<int>(v);
        } else if (name == "--replay") {
            if (value.empty()) {
                return bad;
            }
            o.replayPath = value;
        } else if (name == "--port-dir") {
            if (value.empty()) {
                return bad;
            }
            o.portDir = value;
        } else if (name == "--time-scale") {
            if (!number || !InRange(v, 0.001, 100000)) {
                return bad;
            }
            o.timeScale = v;
        } else if (name == "--seed") {
            if (!number || v < 0 || v != std::floor(v)) {
                return bad;
            }
            o.unit.seed = static_cast<uint64_t>(v);
        } else if (name == "--ahrs-version") {
            o.unit.ahrsVersion = value;
        } else if (name == "--mag-version") {
            o.unit.magVersion = value;
        } else if (name == "--ahrs-serial") {
            o.unit.ahrsSerial = value;
        } else if (name == "--mag-serial") {
            o.unit.magSerial = value;
        } else if (name == "--mount") {
            if (!number || v != std::floor(v) || !InRange(v, 0, 255)) {
                return bad;
            }
            o.unit.mount = static_cast<int>(v);
        } else if (name == "--latitude") {
            if (!number || !InRange(v, -90, 90)) {
                return bad;
            }
            o.model.latitude = v;
        } else if (name == "--magvar") {
            if (!number || !InRange(v, -180, 180)) {
                return bad;
            }
            o.unit.magvar = v;
        } else if (name == "--heading") {
            if (!number) {
                return bad;
            }
            o.unit.heading = v;
        } else if (name == "--pitch" || name == "--roll") {
            if (!number || !InRange(v, -90, 90)) {
                return bad;
            }
            (name == "--pitch" ? o.unit.pitch : o.unit.roll) = v;
        } else if (name == "--warmup") {
            if (!number || !InRange(v, 0, 3600)) {
                return bad;
            }
            o.unit.warmupMs = v * 1000.0;
        } else if (name == "--field") {
            if (!number || !InRange(v, 0, 32767)) {
                return bad;
            }
            o.model.fieldCounts = v;
        } else if (name == "--hard-iron") {
            if (!ParseList(value, 3, list)) {
                return bad + " (three numbers separated by commas)";
            }
            o.model.hardIron = {list[0], list[1], list[2]};
        } else if (name == "--soft-iron") {
            if (!ParseList(value, 9, list)) {
                return bad + " (nine numbers separated by commas)";
            }
            for (std::size_t k = 0; k < 9; ++k) {
                o.model.softIron[k] = list[k];
            }
        } else if (name == "--misalignment") {
            if (!number || !InRange(v, -180, 180)) {
                return bad;
            }
            o.model.misalignment = v;
        } else if (name == "--noise") {
            if (!number || !InRange(v, 0, 10000)) {
                return bad;
            }
            o.unit.countNoise = v;
        } else if (name == "--heading-noise") {
            if (!number || !InRange(v, 0, 180)) {
                return bad;
            }
            o.unit.headingNoise = v;
        }
    }
    if (o.loop && o.replayPath.empty()) {
        return "--loop needs --replay FILE (see --help)";
    }
    if (o.panel && !o.replayPath.empty()) {
        return "--panel drives the model, which a replay does not use";
    }
    return {};
}
