#pragma once

// How an awaited step ended. A procedure goes on only after Done; on anything else it
// returns at once with that outcome, so the page that started it shows why.
enum class StepOutcome {
    Done,      // the wait ran its time, or the awaited condition held
    TimedOut,  // the bound passed before the condition held
    LinkLost,  // the link is no longer alive, or a command line could not be written
    Cancelled, // the owner cancelled the step (page left, link lost)
};

// Text a page can show for an outcome: empty for Done and Cancelled, which need none.
const char* StepOutcomeMessage(StepOutcome outcome);
