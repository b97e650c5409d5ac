#pragma once

#include "sim/CommandReader.h"
#include "sim/OutputPacer.h"
#include "sim/SimUnit.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The simulated unit behind its maintenance port: command bytes in, painted pages and
// banners out at the line rate, all on program time. The pseudo-terminal loop of
// hx410-sim drives it, and so can a test in the same process. Single-threaded.
class CSimDevice {
public:
    static constexpr double kPaintPeriodMs = 200.0;

    // `burstMs`: how long the pacer lets output gather before it goes out (see COutputPacer).
    CSimDevice(const SimUnitConfig& config, const MagModelParams& model, double burstMs,
               std::uint64_t seed);

    // Moves the unit on to `nowMs` and queues what it prints: the banners that are due and,
    // once the last frame is out and its time has come, the next frame of the page shown.
    // While the unit is unpowered or nobody listens on the port, it prints nothing and
    // what was queued is dropped.
    void Step(double nowMs, bool listened);
    // Bytes received on the port; each complete line is a command to the unit.
    void Receive(std::string_view bytes, double nowMs);
    // What may go out now, and how much of it did.
    std::string_view Ready(double nowMs) { return pacer.Ready(nowMs); }
    void Consume(std::size_t count) { pacer.Consume(count); }
    // The port went away (unplugged): queued output and a half-received command are lost,
    // and the next frame repaints its page whole.
    void Disconnect();

    bool HasOutput() const { return !pacer.Empty(); }
    double NextPaintMs() const { return nextPaintMs; }
    CSimUnit& Unit() { return unit; }
    COutputPacer& Pacer() { return pacer; }

private:
    void PaintIfDue(double nowMs);

    CSimUnit unit;
    COutputPacer pacer;
    CCommandReader reader;
    double nextPaintMs = 0.0;
    char paintedPage = 0;
};
