#pragma once

#include "sim/CaptureReplay.h"
#include "sim/ControlCommands.h"
#include "sim/PortLink.h"
#include "sim/PseudoTerminal.h"
#include "sim/SimClock.h"
#include "sim/SimDevice.h"
#include "sim/SimOptions.h"
#include "sim/UniqueFd.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// The simulator's single-threaded event loop: the pseudo-terminal and its COM link, the
// unit, the paced page painter and the control commands on standard input. Another thread
// (the control window) reaches the same commands through Execute, which hands the line to
// the loop and waits for its answer, so the model is only ever touched by the loop.
class CSimRunner {
public:
    static constexpr double kReplugDelayMs = 200.0;
    // Output nobody reads is discarded after this long (program time, but never less than
    // half a real second, so a fast run does not cut frames a busy client is still reading).
    static constexpr double kUnreadDiscardMs = 1000.0;
    static constexpr double kUnreadDiscardRealMs = 500.0;

    explicit CSimRunner(const SimOptions& options);

    // Start, then Serve: returns the exit code.
    int Run();

    // Installs the signal handlers, opens the pseudo-terminal and the COM link and prints
    // "COM<N> <slave path>"; false after printing why not.
    bool Start();
    // The event loop after a successful Start, until `quit`, end of input (without
    // options.panel), SIGINT/SIGTERM or Stop; removes the link and returns 0.
    int Serve();
    int ComNumber() const { return link.Number(); }

    // Thread-safe; not from the loop's own thread. Runs one control line in the loop and
    // returns its answer lines joined by '\n'. Between Start and Serve it waits for Serve;
    // before Start and once Serve has ended it answers an error line at once, so a caller
    // never waits for a loop that is gone.
    std::string Execute(const std::string& line);
    // Thread-safe: ends Serve as `quit` does.
    void Stop();

private:
    struct Request {
        std::string line;
        std::string answer;
        bool done = false;
    };

    bool Replaying() const { return !options.replayPath.empty(); }
    void Step(double nowMs);
    void StepReplay(double nowMs);
    void WriteOutput(double nowMs);
    void ReadPort(double nowMs);
    bool ReadControl(double nowMs); // false at end of input
    std::vector<std::string> RunControlLine(std::string_view line, double nowMs);
    std::vector<std::string> RunReplayControlLine(std::string_view line);
    void RunRequests();
    void EndRequests();
    void Wake();
    void Unplug(double nowMs);
    void Replug();
    int PollTimeoutMs(double nowMs) const;

    SimOptions options;
    CSimClock clock;
    CSimDevice device;
    CControlCommands control;
    CCaptureReplay replay;
    CPseudoTerminal pty;
    CPortLink link;

    std::string controlPending;
    double blockedSinceMs = -1.0;
    bool unplugged = false;
    double replugAtMs = 0.0;
    bool quit = false;

    CUniqueFd wakeFd; // eventfd: a request or Stop wakes the loop's poll
    std::atomic<bool> stopRequested{false};
    std::mutex requestMutex;
    std::condition_variable requestDone;
    std::vector<Request*> requests; // callers' own, each waiting until done
    bool serving = false;           // requests are taken: from Start until Serve ends
};
