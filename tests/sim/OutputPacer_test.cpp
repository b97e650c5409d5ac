#include "sim/OutputPacer.h"

#include <gtest/gtest.h>

#include <string>

// The line rate, at most one burst saved over an idle time, and bytes the port did not take
// offered again as they were (not garbled twice, none lost).
TEST(OutputPacer, ReleasesBytesAtTheLineRateAndOffersUnwrittenOnesAgainUnchanged) {
    COutputPacer pacer(1000.0, 1);
    pacer.Push(std::string(10000, 'a'));
    EXPECT_TRUE(pacer.Ready(0.0).empty());
    pacer.Consume(pacer.Ready(100.0).size());
    EXPECT_EQ(pacer.Ready(200.0).size(), 384u); // 100 ms of line time

    COutputPacer idle(20.0, 1);
    idle.Ready(0.0);
    idle.Ready(60000.0);
    idle.Push(std::string(10000, 'a'));
    EXPECT_EQ(idle.Ready(60000.0).size(), 76u);

    COutputPacer noisy(1000.0, 7);
    noisy.SetGarbleRate(1.0);
    noisy.Ready(0.0);
    noisy.Push(std::string(300, 'a'));
    const std::string first(noisy.Ready(100.0));
    noisy.Consume(100);
    EXPECT_EQ(std::string(noisy.Ready(100.0)), first.substr(100));
    EXPECT_NE(first, std::string(first.size(), 'a'));
}
