#include "procedure/PowerCycle.h"

void CPowerCycle::End() {
    stage = Stage::None;
    ticks = 0;
}

CPowerCycle::Next CPowerCycle::LinkChanged(bool alive) {
    if (alive) {
        if (stage != Stage::SwitchOn) {
            return Next::Nothing;
        }
        stage = Stage::Proceeding;
        return Next::Proceed;
    }
    switch (stage) {
    case Stage::SwitchOff: // switched off as asked
        stage = Stage::SwitchOn;
        ticks = 0;
        return Next::AskSwitchOn;
    case Stage::SwitchOn:
    case Stage::Proceeding:
        return Next::Nothing;
    case Stage::None:
        return Next::ReportLoss;
    }
    return Next::Nothing;
}

CPowerCycle::Next CPowerCycle::Tick(bool alive) {
    if (stage != Stage::SwitchOn) {
        return Next::Nothing;
    }
    if (alive) {
        stage = Stage::Proceeding;
        return Next::Proceed;
    }
    if (ticks >= kGiveUpTicks) {
        End();
        return Next::GiveUp;
    }
    ++ticks;
    return Next::Nothing;
}
