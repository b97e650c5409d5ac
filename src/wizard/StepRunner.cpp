#include "wizard/StepRunner.h"

#include <QPointer>

#include <utility>

CStepRunner::CStepRunner(CAhrsLink& link, CTimeBase timeBase)
    : link(link), timeBase(timeBase), context(std::make_unique<CStepContext>(link, timeBase)) {}

CStepRunner::~CStepRunner() {
    closing = true;
    held.clear();
    Cancel();
}

bool CStepRunner::Start(StepMaker make, std::function<Step()> afterwards) {
    if (running || !make) {
        return false;
    }
    running = true;
    context = std::make_unique<CStepContext>(link, timeBase);
    Run(std::move(make), std::move(afterwards)); // runs until its first wait, then on its own
    return true;
}

CStepRunner::Step CStepRunner::Run(StepMaker make, std::function<Step()> afterwards) {
    co_await make();
    Renew();
    if (afterwards) {
        co_await afterwards();
    }
    running = false;
    if (!held.empty()) {
        // Queued rather than run here: what ended the step goes on first, as it would after
        // a blocking call, and the held items follow from the event loop.
        QMetaObject::invokeMethod(
            &events, [this] { Drain(); }, Qt::QueuedConnection);
    }
}

void CStepRunner::Deliver(std::function<void()> item) {
    if (!item) {
        return;
    }
    held.push_back(std::move(item));
    Drain();
}

void CStepRunner::Drain() {
    // Popped before it runs: an item may start a step, which holds the rest until it ends.
    while (!running && !held.empty()) {
        std::function<void()> item = std::move(held.front());
        held.pop_front();
        item();
    }
}

void CStepRunner::Renew() {
    if (context->IsCancelled() && !closing) {
        context = std::make_unique<CStepContext>(link, timeBase);
    }
}

void CStepRunner::Cancel() {
    // A copy: the step unwinds inside Cancel and may leave a new context in place.
    const CStepToken token = context->Token();
    token.Cancel();
}
