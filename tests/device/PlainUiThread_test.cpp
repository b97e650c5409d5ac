#include "device/PlainUiThread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr double kScale = 50.0;

// Tasks run in post order before a due timer; RunUntil keeps its bound while tasks keep
// coming.
TEST(PlainUiThread, TasksRunInPostOrderBeforeADueTimerAndRunUntilKeepsItsBound) {
    CPlainUiThread ui{CTimeBase(kScale)};
    std::string order;
    ui.StartTimer(1, 0, [&] { order += 'T'; });
    ui.Post([&] { order += 'a'; });
    ui.Post([&] { order += 'b'; });
    ui.Post([&] { order += 'c'; });
    EXPECT_TRUE(ui.RunUntil([&] { return order.size() == 4; }, 5000));
    EXPECT_EQ(order, "abcT");
    std::function<void()> again = [&] { ui.Post(again); };
    ui.Post(again);
    EXPECT_FALSE(ui.RunUntil([] { return false; }, 500));
}

TEST(PlainUiThread, TimersExpireOnceAtTheirTimeAndRestartOrStopReplacesThem) {
    CPlainUiThread ui{CTimeBase(kScale)};
    std::vector<int> fired;
    ui.StartTimer(2, 3000, [&] { fired.push_back(1); });
    // The restart replaces the first; far enough out that a loaded machine cannot reach it.
    ui.StartTimer(2, 30000, [&] { fired.push_back(2); });
    ui.StartTimer(3, 1000, [&] { fired.push_back(3); });
    ui.StopTimer(3);
    ui.StartTimer(4, 0, [&] { fired.push_back(4); });
    ui.Post([&] { ui.StopTimer(4); }); // runs before the due timer, which is then cancelled
    ui.RunFor(4000);                   // the first would have fired by now
    EXPECT_TRUE(fired.empty());
    EXPECT_TRUE(ui.RunUntil([&] { return !fired.empty(); }, 60000));
    ui.RunFor(6000);
    EXPECT_EQ(fired, std::vector<int>{2});
}

TEST(PlainUiThread, OwnThreadRunsTasksAndTimersThereAndStopJoins) {
    CPlainUiThread ui{CTimeBase(kScale)};
    ui.Start();
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> onUiThread;
    auto record = [&] {
        std::lock_guard lock(mutex);
        onUiThread.push_back(ui.IsUiThread());
        changed.notify_all();
    };
    ui.Post(record);
    ui.StartTimer(1, 100, record);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30),
                                     [&] { return onUiThread.size() == 2; }));
    }
    EXPECT_EQ(onUiThread, (std::vector<bool>{true, true}));
    EXPECT_FALSE(ui.IsUiThread());
    ui.Stop();
    ui.Stop(); // a second stop is harmless
}

} // namespace
