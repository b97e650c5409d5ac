#pragma once

#include "device/TimeBase.h"
#include "device/UiThread.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QTimer;

// The user-interface thread of the wizard: the Qt main thread. Posted tasks and timer
// expiries run from its event loop, which nothing ever blocks (the wizard's waits are
// awaited). Construct and destroy it on the main thread, with the QApplication alive.
class CQtUiThread : public IUiThread {
public:
    explicit CQtUiThread(CTimeBase timeBase = CTimeBase());
    ~CQtUiThread() override;

    CQtUiThread(const CQtUiThread&) = delete;
    CQtUiThread& operator=(const CQtUiThread&) = delete;

    // Any thread.
    void Post(std::function<void()> task) override;
    // User-interface thread only; `programMs` is converted with the time base.
    void StartTimer(int id, double programMs, std::function<void()> onExpiry) override;
    void StopTimer(int id) override;

    const CTimeBase& TimeBase() const { return timeBase; }

private:
    struct Timer {
        QTimer* timer = nullptr; // child of `context`
        std::function<void()> onExpiry;
        std::uint64_t generation = 0; // changes on every start and stop
        bool armed = false;
    };

    void RunExpiry(int id, std::uint64_t generation);

    CTimeBase timeBase;
    // Lives on the main thread: queued calls to it run there, and are dropped once it is gone.
    std::unique_ptr<QObject> context;
    std::map<int, Timer> timers;
};
