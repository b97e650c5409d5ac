#include "device/PlainUiThread.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

CPlainUiThread::CPlainUiThread(CTimeBase timeBase) : timeBase(timeBase) {}

CPlainUiThread::~CPlainUiThread() {
    Stop();
}

void CPlainUiThread::Post(std::function<void()> task) {
    if (!task) {
        return;
    }
    {
        std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
        ++changeCount;
    }
    changed.notify_all();
}

void CPlainUiThread::StartTimer(int id, double programMs, std::function<void()> onExpiry) {
    {
        std::lock_guard lock(mutex);
        timers[id] = Timer{timeBase.NowMs() + std::max(programMs, 0.0), std::move(onExpiry)};
        ++changeCount;
    }
    changed.notify_all();
}

void CPlainUiThread::StopTimer(int id) {
    std::lock_guard lock(mutex);
    timers.erase(id);
    ++changeCount;
}

std::function<void()> CPlainUiThread::TakeReady() {
    if (!tasks.empty()) {
        auto task = std::move(tasks.front());
        tasks.pop_front();
        return task;
    }
    auto due = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (due == timers.end() || it->second.dueMs < due->second.dueMs) {
            due = it;
        }
    }
    if (due == timers.end() || due->second.dueMs > timeBase.NowMs()) {
        return {};
    }
    auto onExpiry = std::move(due->second.onExpiry);
    timers.erase(due);
    // A timer started without a handler still expires; give the caller something to run.
    return onExpiry ? onExpiry : [] {};
}

std::function<void()> CPlainUiThread::TakeNext(std::unique_lock<std::mutex>& lock, double untilMs) {
    for (;;) {
        if (stopRequested) {
            return {};
        }
        if (auto item = TakeReady()) {
            return item;
        }
        const double now = timeBase.NowMs();
        if (now >= untilMs) {
            return {};
        }
        double wakeMs = untilMs;
        for (const auto& [id, timer] : timers) {
            wakeMs = std::min(wakeMs, timer.dueMs);
        }
        const std::uint64_t seen = changeCount;
        timeBase.WaitFor(changed, lock, wakeMs - now,
                         [&] { return changeCount != seen || stopRequested; });
    }
}

bool CPlainUiThread::RunOne(double untilMs) {
    std::function<void()> item;
    {
        std::unique_lock lock(mutex);
        loopThread = std::this_thread::get_id();
        item = TakeNext(lock, untilMs);
    }
    if (!item) {
        return false;
    }
    item();
    return true;
}

bool CPlainUiThread::RunUntil(const std::function<bool()>& done, double programMs) {
    const double untilMs = timeBase.NowMs() + std::max(programMs, 0.0);
    // `done` may watch something other than this loop (another thread's progress), so
    // an idle loop still looks at it every few real milliseconds.
    const double sliceMs = kConditionPollRealMs * timeBase.Scale();
    for (;;) {
        if (done && done()) {
            return true;
        }
        const double now = timeBase.NowMs();
        if (now >= untilMs) {
            return done && done();
        }
        RunOne(done ? std::min(untilMs, now + sliceMs) : untilMs);
    }
}

void CPlainUiThread::RunFor(double programMs) {
    RunUntil(nullptr, programMs);
}

std::size_t CPlainUiThread::RunPending() {
    std::size_t count = 0;
    for (;;) {
        std::function<void()> item;
        {
            std::lock_guard lock(mutex);
            loopThread = std::this_thread::get_id();
            item = TakeReady();
        }
        if (!item) {
            return count;
        }
        item();
        ++count;
    }
}

void CPlainUiThread::Start() {
    std::lock_guard lock(mutex);
    if (thread.joinable()) {
        return;
    }
    stopRequested = false;
    thread = std::thread([this] { ThreadMain(); });
}

void CPlainUiThread::Stop() {
    std::thread finishing;
    {
        std::lock_guard lock(mutex);
        if (!thread.joinable()) {
            return;
        }
        stopRequested = true;
        ++changeCount;
        // Asked from one of its own tasks: the loop ends once that task returns, and a
        // later Stop (or the destructor) on another thread joins it.
        if (thread.get_id() != std::this_thread::get_id()) {
            finishing = std::move(thread);
        }
    }
    changed.notify_all();
    if (finishing.joinable()) {
        finishing.join();
        std::lock_guard lock(mutex);
        tasks.clear();
        stopRequested = false;
    }
}

void CPlainUiThread::ThreadMain() {
    while (RunOne(std::numeric_limits<double>::infinity())) {
    }
}

bool CPlainUiThread::IsUiThread() const {
    std::lock_guard lock(mutex);
    return loopThread == std::this_thread::get_id();
}
