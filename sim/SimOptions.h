#pragma once

#include "sim/MagModel.h"
#include "sim/SimUnit.h"

#include <string>

// The simulator's command line.
struct SimOptions {
    int com = 0;         // 0: lowest free number
    std::string portDir; // empty: the default ports directory
    double timeScale = 1.0;
    SimUnitConfig unit;
    MagModelParams model;
    bool control = true;    // control commands on standard input; its end quits
    bool panel = false;     // the control window; closing it quits, the end of input does not
    std::string replayPath; // a capture played as the unit's output instead of the model
    bool loop = false;      // the capture again and again
    bool help = false;
    bool version = false;
};

class CSimOptions {
public:
    // Parses argv; returns an empty string on success, else the message for the user.
    static std::string Parse(int argc, const char* const* argv, SimOptions& options);
    static std::string Usage();
};
