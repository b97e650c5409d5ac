#pragma once

#include "sim/CommandReader.h"
#include "sim/ControlCommands.h"
#include "sim/OutputPacer.h"
#include "sim/PortLink.h"
#include "sim/PseudoTerminal.h"
#include "sim/SimClock.h"
#include "sim/SimOptions.h"
#include "sim/SimUnit.h"

#include <string>

// The simulator's single-threaded event loop: the pseudo-terminal and its COM link, the
// unit, the paced page painter and the control commands on standard input.
class CSimRunner {
public:
    static constexpr double kPaintPeriodMs = 200.0;
    static constexpr double kReplugDelayMs = 200.0;
    // Output nobody reads is discarded after this long (program time, but never less than
    // half a real second, so a fast run does not cut frames a busy client is still reading).
    static constexpr double kUnreadDiscardMs = 1000.0;
    static constexpr double kUnreadDiscardRealMs = 500.0;

    explicit CSimRunner(const SimOptions& options);

    // Runs until `quit`, end of input (both only with control commands) or SIGINT/SIGTERM;
    // returns the exit code.
    int Run();

private:
    bool Start();
    void Step(double nowMs);
    void PaintIfDue(double nowMs);
    void WriteOutput(double nowMs);
    void ReadPort(double nowMs);
    bool ReadControl(double nowMs); // false at end of input
    void Unplug(double nowMs);
    void Replug();
    int PollTimeoutMs(double nowMs) const;

    SimOptions options;
    CSimClock clock;
    CSimUnit unit;
    COutputPacer pacer;
    CControlCommands control;
    CCommandReader portReader;
    CPseudoTerminal pty;
    CPortLink link;

    std::string controlPending;
    double nextPaintMs = 0.0;
    char paintedPage = 0;
    double blockedSinceMs = -1.0;
    bool unplugged = false;
    double replugAtMs = 0.0;
    bool quit = false;
};
