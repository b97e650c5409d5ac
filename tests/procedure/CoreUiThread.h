#pragma once

// The link's user-interface thread on the test thread's Qt event loop, without widgets, so
// the link's silence timer and the steps' pauses share one loop.

#include "device/TimeBase.h"
#include "device/UiThread.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <utility>

class CCoreUiThread : public IUiThread {
public:
    explicit CCoreUiThread(CTimeBase timeBase) : timeBase(timeBase) {}

    void Post(std::function<void()> task) override {
        QMetaObject::invokeMethod(
            context.get(),
            [guard = QPointer<QObject>(context.get()), task = std::move(task)] {
                if (guard && task) {
                    task();
                }
            },
            Qt::QueuedConnection);
    }
    void StartTimer(int id, double programMs, std::function<void()> onExpiry) override {
        std::unique_ptr<QTimer>& timer = timers[id];
        if (!timer) {
            timer = std::make_unique<QTimer>();
            timer->setSingleShot(true);
            timer->setTimerType(Qt::PreciseTimer);
        }
        timer->disconnect();
        QObject::connect(timer.get(), &QTimer::timeout, context.get(),
                         [onExpiry = std::move(onExpiry)] { onExpiry(); });
        timer->start(std::chrono::ceil<std::chrono::milliseconds>(timeBase.ToReal(programMs)));
    }
    void StopTimer(int id) override {
        if (const auto found = timers.find(id); found != timers.end()) {
            found->second->stop();
        }
    }

private:
    CTimeBase timeBase;
    std::unique_ptr<QObject> context = std::make_unique<QObject>();
    std::map<int, std::unique_ptr<QTimer>> timers;
};
