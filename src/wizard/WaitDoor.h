#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

// The one door through which the user-interface thread blocks. While a wait is in
// progress the windows keep painting, but user input is discarded and the program's own
// work (posted tasks, timer expiries, page ticks and page messages) is held back; what
// arrived meanwhile runs after the outermost wait has ended, in arrival order, as a
// message queue would deliver it. Everything here runs on the user-interface thread.
class CWaitDoor {
public:
    // Runs `item` now, or, while a wait is in progress (or earlier items are still held),
    // queues it behind the items held before it.
    static void Deliver(std::function<void()> item);

    // Processes window events until `done` holds (true) or `timeUp` holds (the last value
    // of `done`; false without one). Both are checked every `poll` of real time. Waits nest.
    static bool Wait(const std::function<bool()>& done, const std::function<bool()>& timeUp,
                     std::chrono::milliseconds poll = std::chrono::milliseconds(2));

    static bool IsWaiting();
    // Items waiting for the current wait to end (diagnostics and tests).
    static std::size_t HeldCount();
};
