#include "wizard/QtUiThread.h"

#include "wizard/WaitDoor.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace {

// How often a wait looks at its condition and its clock, in real time.
constexpr std::chrono::milliseconds kWaitPoll(2);

int RealMilliseconds(const CTimeBase& timeBase, double programMs) {
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(timeBase.ToReal(programMs));
    return static_cast<int>(
        std::min<std::chrono::milliseconds::rep>(real.count(), std::numeric_limits<int>::max()));
}

} // namespace

CQtUiThread::CQtUiThread(CTimeBase timeBase)
    : timeBase(timeBase), context(std::make_unique<QObject>()) {}

CQtUiThread::~CQtUiThread() = default;

void CQtUiThread::Post(std::function<void()> task) {
    if (!task) {
        return;
    }
    // The guard drops a task held by the door when this thread object is gone meanwhile.
    QMetaObject::invokeMethod(
        context.get(),
        [guard = QPointer<QObject>(context.get()), task = std::move(task)]() mutable {
            CWaitDoor::Deliver([guard, task = std::move(task)] {
                if (guard) {
                    task();
                }
            });
        },
        Qt::QueuedConnection);
}

void CQtUiThread::StartTimer(int id, double programMs, std::function<void()> onExpiry) {
    Timer& entry = timers[id];
    if (entry.timer == nullptr) {
        entry.timer = new QTimer(context.get());
        entry.timer->setSingleShot(true);
        entry.timer->setTimerType(Qt::PreciseTimer);
    }
    entry.onExpiry = std::move(onExpiry);
    entry.armed = true;
    const std::uint64_t generation = ++entry.generation;
    entry.timer->disconnect();
    QObject::connect(entry.timer, &QTimer::timeout, context.get(),
                     [this, id, generation] { OnTimeout(id, generation); });
    entry.timer->start(RealMilliseconds(timeBase, programMs));
}

void CQtUiThread::StopTimer(int id) {
    const auto found = timers.find(id);
    if (found == timers.end()) {
        return;
    }
    found->second.timer->stop();
    found->second.armed = false;
    ++found->second.generation; // cancels an expiry the door still holds
}

void CQtUiThread::OnTimeout(int id, std::uint64_t generation) {
    CWaitDoor::Deliver([guard = QPointer<QObject>(context.get()), this, id, generation] {
        if (guard) {
            RunExpiry(id, generation);
        }
    });
}

void CQtUiThread::RunExpiry(int id, std::uint64_t generation) {
    const auto found = timers.find(id);
    if (found == timers.end() || !found->second.armed || found->second.generation != generation) {
        return; // stopped or restarted since it expired
    }
    found->second.armed = false;
    // Taken out first: the expiry may restart its own timer.
    const std::function<void()> onExpiry = std::move(found->second.onExpiry);
    if (onExpiry) {
        onExpiry();
    }
}

bool CQtUiThread::WaitUntil(const std::function<bool()>& done, double programMs,
                            const CTimeBase& clock) {
    const double untilMs = clock.NowMs() + std::max(programMs, 0.0);
    return CWaitDoor::Wait(
        done, [&clock, untilMs] { return !(clock.NowMs() < untilMs); }, kWaitPoll);
}
