#include "sim/ControlCommands.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/NumberText.h"

namespace {

std::string Trim(std::string_view s) {
    const auto begin = s.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) {
        return {};
    }
    const auto end = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(begin, end - begin + 1));
}

// Splits "verb rest" at the first blank.
std::pair<std::string, std::string> SplitVerb(const std::string& line) {
    const auto blank = line.find_first_of(" \t");
    if (blank == std::string::npos) {
        return {line, {}};
    }
    return {line.substr(0, blank), Trim(std::string_view(line).substr(blank))};
}

std::string Fixed(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

CControlCommands::Result One(std::string line) {
    CControlCommands::Result r;
    r.lines.push_back(std::move(line));
    return r;
}

} // namespace

const char* CControlCommands::HelpText() {
    return "Control commands (standard input, one per line):\n"
           "  heading DEG          aircraft magnetic heading\n"
           "  turn DEG_PER_S       turn rate (0 stops)\n"
           "  pitch DEG | roll DEG aircraft attitude\n"
           "  power off|on         unit power; off silences the port and loses volatile state\n"
           "  mag off|on           RQ270 unplugged (\"Mv -----\", status bit 0x1000)\n"
           "  freefield on|off     magnetometer away from the aircraft, level\n"
           "  unplug               the adapter is pulled out: the port hangs up and comes\n"
           "                       back as a new device node behind the same COM link\n"
           "  fault drop-acks on|off   suppress the ERASE/STORE banners\n"
           "  fault ignore TEXT|off    ignore commands that start with TEXT (\"MFC Y\")\n"
           "  fault hide TEXT|off  blank TEXT wherever the output shows it (\"ARINC\")\n"
           "  fault garble RATE    corrupt that fraction (0..1) of output bytes\n"
           "  fault version TEXT   report another HX410 version (empty restores)\n"
           "  state                Name=value lines, then \"end\"\n"
           "  swing                output heading and error at 0, 10, ..., 350 degrees,\n"
           "                       then \"swing max=<max abs error>\"\n"
           "  quit                 exit (so does the end of input)\n";
}

CControlCommands::Result CControlCommands::Execute(std::string_view text, double nowMs) {
    const std::string line = Trim(text);
    if (line.empty()) {
        return {};
    }
    unit.Advance(nowMs);
    const auto [verb, arg] = SplitVerb(line);
    double value = 0;
    if (verb == "heading" || verb == "turn" || verb == "pitch" || verb == "roll") {
        if (!ParseNumber(arg, value)) {
            return One("error: " + verb + " needs a number");
        }
        if ((verb == "pitch" || verb == "roll") && std::fabs(value) > 90.0) {
            return One("error: " + verb + " must lie within -90..90");
        }
        if (verb == "heading") {
            unit.SetHeading(value);
        } else if (verb == "turn") {
            unit.SetTurnRate(value);
        } else if (verb == "pitch") {
            unit.SetPitch(value);
        } else {
            unit.SetRoll(value);
        }
        return One("ok " + verb + " " + arg);
    }
    if (verb == "power" || verb == "mag" || verb == "freefield") {
        if (arg != "on" && arg != "off") {
            return One("error: " + verb + " needs on or off");
        }
        const bool on = arg == "on";
        if (verb == "power") {
            if (on) {
                unit.PowerOn(nowMs);
            } else {
                unit.PowerOff();
                pacer.Clear();
            }
        } else if (verb == "mag") {
            unit.SetMagPresent(on, nowMs);
        } else {
            unit.SetFreeField(on);
        }
        return One("ok " + verb + " " + arg);
    }
    if (verb == "unplug" && arg.empty()) {
        Result r = One("ok unplug");
        r.action = Action::Unplug;
        return r;
    }
    if (verb == "fault") {
        const auto [what, rest] = SplitVerb(arg);
        if (what == "drop-acks" && (rest == "on" || rest == "off")) {
            unit.SetDropAcks(rest == "on");
            return One("ok fault drop-acks " + rest);
        }
        if (what == "hide") {
            pacer.SetHiddenText(rest == "off" ? std::string() : rest);
            return One("ok fault hide " + rest);
        }
        if (what == "ignore") {
            unit.SetIgnoredCommand(rest == "off" ? std::string() : rest);
            return One("ok fault ignore " + rest);
        }
        if (what == "garble") {
            if (!ParseNumber(rest, value) || value < 0.0 || value > 1.0) {
                return One("error: fault garble needs a rate within 0..1");
            }
            pacer.SetGarbleRate(value);
            return One("ok fault garble " + rest);
        }
        if (what == "version") {
            unit.SetVersionOverride(rest);
            return One("ok fault version " + rest);
        }
        return One("error: unknown fault '" + arg + "'");
    }
    if (verb == "state" && arg.empty()) {
        Result r;
        for (const auto& [name, v] : unit.State(nowMs)) {
            r.lines.push_back(name + "=" + v);
        }
        r.lines.push_back(std::string("Garble=") + Fixed(pacer.GarbleRate()));
        r.lines.push_back("end");
        return r;
    }
    if (verb == "swing" && arg.empty()) {
        return Swing();
    }
    if (verb == "quit" && arg.empty()) {
        Result r = One("ok quit");
        r.action = Action::Quit;
        return r;
    }
    return One("error: unknown command '" + line + "'");
}

CControlCommands::Result CControlCommands::Swing() const {
    Result r;
    double maxError = 0.0;
    for (int deg = 0; deg < 360; deg += 10) {
        const double h = unit.SwingHeading(deg);
        const double e = CMagModel::SignedDegrees(h - deg);
        maxError = std::max(maxError, std::fabs(e));
        r.lines.push_back("swing " + std::to_string(deg) + " heading=" + Fixed(h) +
                          " error=" + Fixed(e));
    }
    r.lines.push_back("swing max=" + Fixed(maxError));
    return r;
}
