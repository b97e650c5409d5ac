#include "sim/OutputPacer.h"

#include <gtest/gtest.h>

#include <string>

TEST(OutputPacer, ReleasesBytesAtTheLineRateAndSavesAtMostOneBurst) {
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
}

TEST(OutputPacer, UnwrittenBytesAreOfferedAgainUnchanged) {
    COutputPacer pacer(1000.0, 7);
    pacer.SetGarbleRate(1.0);
    pacer.Ready(0.0);
    pacer.Push(std::string(300, 'a'));
    const std::string first(pacer.Ready(100.0));
    pacer.Consume(100);
    EXPECT_EQ(std::string(pacer.Ready(100.0)), first.substr(100)) << "garbled twice or lost";
    EXPECT_NE(first, std::string(first.size(), 'a'));
}
