#pragma once

#include "procedure/StepContext.h"

#include <QCoroTask>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>

class CAhrsLink;

// The wizard's one running step. Whatever a page does that waits (a handler of a wizard
// button, a control's action, a tick or message that starts something) runs as a step: a
// coroutine that awaits its pauses, polls and boxes on the event loop, so the windows keep
// painting and nothing blocks. One step runs at a time: a press while one runs does
// nothing, and ticks and messages that arrive meanwhile are held and delivered after it, in
// order, as a message queue delivers them after a blocking call.
// User-interface thread only.
class CStepRunner {
public:
    using Step = QCoro::Task<void>;
    using StepMaker = std::function<Step()>;

    CStepRunner(CAhrsLink& link, CTimeBase timeBase);
    // Cancels a step still running, which then unwinds before the runner goes.
    ~CStepRunner();

    CStepRunner(const CStepRunner&) = delete;
    CStepRunner& operator=(const CStepRunner&) = delete;

    bool IsRunning() const { return running; }
    // Starts `make()` as the running step unless one runs already (false: nothing started).
    // `afterwards`, when given, runs once the step has ended, before held items.
    bool Start(StepMaker make, std::function<Step()> afterwards = {});
    // Runs `item` now, or, while a step runs or earlier items are held, after them.
    void Deliver(std::function<void()> item);
    // Cancels the running step: its waits end at once and a cancelled step waits no more.
    // What the step asked to run afterwards still runs, with waits of its own, unless the
    // runner is going.
    void Cancel();

    // After a cancel (not the runner's own end): a fresh context, so what runs next waits
    // again.
    void Renew();

    // The context of the running step (outside a step: a context of its own).
    CStepContext& Context() { return *context; }
    const CStepToken& Token() const { return context->Token(); }

private:
    Step Run(StepMaker make, std::function<Step()> afterwards);
    void Drain();

    CAhrsLink& link;
    CTimeBase timeBase;
    std::unique_ptr<CStepContext> context;
    bool running = false;
    bool closing = false;
    std::deque<std::function<void()>> held;
    // Queued calls to it run on the event loop, and are dropped once the runner is gone.
    QObject events;
};
