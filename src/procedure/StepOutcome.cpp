#include "procedure/StepOutcome.h"

const char* StepOutcomeMessage(StepOutcome outcome) {
    switch (outcome) {
    case StepOutcome::Done:
    case StepOutcome::Cancelled:
        return "";
    case StepOutcome::TimedOut:
        return "The HX410 did not confirm the new value in time.  Check the connection and "
               "try again.";
    case StepOutcome::LinkLost:
        return "The connection to the HX410 was lost.  Check the cable and try again.";
    }
    return "";
}
