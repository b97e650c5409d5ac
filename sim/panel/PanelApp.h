#pragma once

class CSimRunner;

// `hx410-sim --panel`: the simulator's loop on its own thread and the control window on
// the main one. Closing the window ends the loop; the loop ending (`quit`, a signal)
// closes the window.
class CPanelApp {
public:
    // Returns the exit code: 0, 1 without a display, 2 when the simulator cannot start.
    static int Run(CSimRunner& runner, int argc, char** argv);
};
