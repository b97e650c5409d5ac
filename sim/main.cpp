// hx410-sim: a simulated HX410 attitude and heading unit with its RQ270 magnetometer on
// a Linux pseudo-terminal, for tests, demonstrations, training and support.
//
// It opens a pseudo-terminal (raw, 38400 baud), links DIR/COM<N> to its slave side
// (DIR defaults to $XDG_CONFIG_HOME/hx410-install/ports) and prints "COM<N> <slave path>"
// as its first line. The unit then paints its maintenance pages on the port at the line
// rate and obeys the port commands; standard input takes control commands (turn the
// aircraft, cycle power, unplug the magnetometer or the adapter, inject faults). The
// link is removed on exit: `quit`, end of input, SIGINT or SIGTERM. With --no-control
// standard input is not read and only the signals end it, so it can run in the background
// of a script. With --panel (a GUI build) a small window drives the same commands and
// closing it ends the simulator. `--help` lists the options with their defaults, the
// pages' lines and the control commands.
#include "sim/SimOptions.h"
#include "sim/SimRunner.h"
#ifdef HX410_SIM_PANEL
#include "sim/panel/PanelApp.h"
#endif

#include <cstdio>

int main(int argc, char** argv) {
    SimOptions options;
    const std::string error = CSimOptions::Parse(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "hx410-sim: %s\n", error.c_str());
        return 1;
    }
    if (options.version) {
        std::puts("hx410-sim " HX410_VERSION);
        return 0;
    }
    if (options.help) {
        std::fputs(CSimOptions::Usage().c_str(), stdout);
        return 0;
    }
    CSimRunner runner(options);
    if (options.panel) {
#ifdef HX410_SIM_PANEL
        return CPanelApp::Run(runner, argc, argv);
#else
        std::fputs("hx410-sim: --panel needs a build with the GUI (cmake -DHX410_BUILD_GUI=ON)\n",
                   stderr);
        return 1;
#endif
    }
    return runner.Run();
}
