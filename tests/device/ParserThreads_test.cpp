#include "device/LineParser.h"

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

// A listener thread feeds screens while the user-interface thread reads the record, as
// in the program; run under ThreadSanitizer this shows the locking is complete.
TEST(ParserThreads, ListenerWritesWhileTheUiThreadReads) {
    CAhrsState state;
    CLineParser parser(state);
    constexpr int kScreens = 2000;
    std::atomic<bool> writing = true;

    std::thread listener([&] {
        for (int i = 0; i < kScreens; ++i) {
            const std::string screen =
                "\x1b[1;1HPITCH " + std::to_string(i % 10) + "\x1b[2;1HMag Avg " +
                std::to_string((i * 7) % 360) + "\x1b[3;1HSTAT 00CF\x1b[4;1HAv 1." +
                std::to_string(i / 2 % 100) + "\x1b[5;1HGSF XX 1.0" + std::to_string(i % 9) +
                "\x1b[6;1H-12 34\x1b[7;1H++ MCC ERASE ++\x1b";
            // Split every screen at a moving point, as reads do.
            const std::size_t cut = static_cast<std::size_t>(i) % screen.size();
            parser.ProcessChunk(std::string_view(screen).substr(0, cut));
            parser.ProcessChunk(std::string_view(screen).substr(cut));
        }
        writing = false;
    });

    unsigned reads = 0;
    while (writing || reads == 0) {
        const double heading = state.GetAvgHeading();
        EXPECT_GE(heading, 0.0);
        EXPECT_LT(heading, 360.0);
        EXPECT_LE(state.GetAhrsVersion().size(), 4U); // each version twice: taken, then replaced
        EXPECT_LE(state.GetReportedAhrsVersion().size(), 4U);
        (void)state.GetGyroScaleTable();
        (void)state.GetDataText();
        (void)parser.AckSetCount(2);
        if (reads % 64 == 0) {
            state.ClearCounters(); // the user-interface thread writes too
        }
        ++reads;
    }
    listener.join();

    EXPECT_EQ(parser.AckSetCount(2), static_cast<unsigned>(kScreens));
    EXPECT_DOUBLE_EQ(state.GetPitch(), (kScreens - 1) % 10);
    EXPECT_EQ(state.GetStatusWord(), 0xCFU);
}

} // namespace
