#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// The decoder's live mode: the port list, and a monitor that opens a COM port through
// the link exactly as the wizard does, reports the link's notifications and prints the
// record it built.
//
//   hx410-decode --list
//   hx410-decode --port N [--seconds S] [--send TEXT]... [--capture FILE] [--time-scale K]
//
// --list prints "COM<n> <device>" per usable port, ascending, with "busy (another program
// holds it)" after a port that another program holds, "no serial port found" when it lists
// none, and a line naming serial devices that exist but may not be opened. --port prints
// "<seconds> link up" and "<seconds> link lost" as the notifications arrive, sends each TEXT
// followed by a carriage return once the link first comes up, and after S seconds (default 10)
// prints the record. --capture writes every byte received to FILE after a few '#' lines
// that say where it came from, so `hx410-decode --comments FILE` replays it later (what a
// shop sends to support). --time-scale runs the link's clock K times faster (tests, demos).
// For tests, the environment variables HX410_DEV_ROOT and HX410_SYS_TTY_ROOT replace /dev
// and /sys/class/tty as the places the port list reads.
class CLiveMonitor {
public:
    static constexpr int kExitLinkUp = 0;
    static constexpr int kExitUsage = 2;
    static constexpr int kExitOpenFailed = 3;
    static constexpr int kExitNeverUp = 4;

    struct Options {
        bool list = false;
        int port = 0;
        double seconds = 10;
        double timeScale = 1;
        std::vector<std::string> sends;
        std::string capturePath;
    };

    // True when the arguments ask for the live mode rather than a capture file.
    static bool IsLiveCommand(int argc, char** argv);
    static std::optional<Options> Parse(int argc, char** argv, std::ostream& err);
    // Parses, runs, and returns the exit status.
    static int Main(int argc, char** argv);

    static int List(std::ostream& out);
    static int Monitor(const Options& options, std::ostream& out, std::ostream& err);

    // The reason an open failed, for the technician.
    static std::string OpenFailureText(int port, int error);
};
