#pragma once

#include "sim/OutputPacer.h"
#include "sim/SimUnit.h"

#include <string>
#include <string_view>
#include <vector>

// The simulator's control interface on standard input: one command per line, each
// answered with one line ("ok ..." or "error: ..."), except `state` (Name=value lines
// and "end") and `swing` (36 lines and "swing max=<m>").
class CControlCommands {
public:
    enum class Action { None, Quit, Unplug };

    struct Result {
        std::vector<std::string> lines;
        Action action = Action::None;
    };

    CControlCommands(CSimUnit& unit, COutputPacer& pacer) : unit(unit), pacer(pacer) {}

    Result Execute(std::string_view line, double nowMs);

    static const char* HelpText();

private:
    Result Swing() const;

    CSimUnit& unit;
    COutputPacer& pacer;
};
