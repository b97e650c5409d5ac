#include "wizard/QtUiThread.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace {

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
    // Dropped with `context` when this thread object is gone first.
    QMetaObject::invokeMethod(context.get(), std::move(task), Qt::QueuedConnection);
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
                     [this, id, generation] { RunExpiry(id, generation); });
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
