#include "device/PlainUiThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

TEST(PlainUiThread, TasksBeforeDueTimersAndARestartOrStopReplacesATimer) {
    CPlainUiThread ui{CTimeBase(50.0)};
    std::string order;
    ui.StartTimer(1, 0, [&] { order += 'T'; });
    for (char task : {'a', 'b', 'c'}) {
        ui.Post([&order, task] { order += task; });
    }
    ui.StartTimer(2, 3000, [&] { order += '1'; });
    // The restart replaces the first; far enough out that a loaded machine cannot reach it.
    ui.StartTimer(2, 30000, [&] { order += '2'; });
    ui.StartTimer(3, 1000, [&] { order += '3'; });
    ui.StopTimer(3);
    ui.StartTimer(4, 0, [&] { order += '4'; });
    ui.Post([&] { ui.StopTimer(4); }); // runs before the due timer, which is then cancelled
    ui.RunFor(4000);                   // the first would have fired by now
    EXPECT_EQ(order, "abcT");
    EXPECT_TRUE(ui.RunUntil([&] { return order.size() == 5; }, 60000));
    ui.RunFor(6000);
    EXPECT_EQ(order, "abcT2");
    std::function<void()> again = [&] { ui.Post(again); };
    ui.Post(again);
    EXPECT_FALSE(ui.RunUntil([] { return false; }, 500));
}

TEST(PlainUiThread, OwnThreadRunsTasksAndTimersThereAndStopJoins) {
    CPlainUiThread ui{CTimeBase(50.0)};
    ui.Start();
    std::atomic<int> onUiThread = 0;
    ui.Post([&] { onUiThread += ui.IsUiThread(); });
    ui.StartTimer(1, 100, [&] { onUiThread += ui.IsUiThread(); });
    for (int wait = 0; wait < 30000 && onUiThread < 2; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // at most 30 real seconds
    }
    EXPECT_EQ(onUiThread, 2);
    EXPECT_FALSE(ui.IsUiThread());
    ui.Stop();
    ui.Stop(); // a second stop is harmless
}

} // namespace
