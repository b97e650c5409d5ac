#pragma once

// The power cycle a mount change asks of the installer: switch the unit off, then on again
// within kGiveUpTicks page ticks. It has no waits of its own, so the page stays usable: the
// page reports the link's notifications and its ticks, shows the request of the stage and
// does what the cycle answers.
class CPowerCycle {
public:
    static constexpr int kGiveUpTicks = 30;

    enum class Stage {
        None,       // no change requested
        SwitchOff,  // waiting for the unit to go silent
        SwitchOn,   // unit off, waiting for it to answer again; the page ticks
        Proceeding, // unit back: the position is to be sent
    };

    // What the page does next.
    enum class Next {
        Nothing,
        AskSwitchOn, // the unit went silent: ask for power, and tick
        Proceed,     // the unit answers again: send the position
        GiveUp,      // the unit stayed silent for kGiveUpTicks ticks: the cycle has ended
        ReportLoss,  // the link was lost with no change requested
    };

    Stage Current() const { return stage; }
    // Asks for the unit to be switched off.
    void Request() { stage = Stage::SwitchOff; }
    void End();

    Next LinkChanged(bool alive);
    Next Tick(bool alive);

private:
    Stage stage = Stage::None;
    int ticks = 0;
};
