#include "device/PtyPeer.h"
#include "device/SerialPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const CTimeBase kTimeBase(20.0);

termios SlaveSettings(const CPtyPeer& peer) {
    termios settings{};
    ::tcgetattr(peer.Master(), &settings); // a master reports its slave's settings
    return settings;
}

void SetLine(const CPtyPeer& peer, speed_t speed, tcflag_t localModes = 0) {
    termios settings = SlaveSettings(peer);
    settings.c_lflag |= localModes;
    cfsetospeed(&settings, speed);
    ASSERT_EQ(::tcsetattr(peer.Master(), TCSANOW, &settings), 0);
}

// Records what arrives and when, and holds the next read for kHoldMs after each.
class CHoldingReceiver : public ITransportReceiver {
public:
    static constexpr double kHoldMs = 200; // program time: 10 real milliseconds

    explicit CHoldingReceiver(CSerialPort& port) : port(port) {}
    void OnReceived(std::string_view bytes) override {
        {
            std::lock_guard lock(mutex);
            readTimes.push_back(kTimeBase.NowMs());
            text += bytes;
        }
        arrived.notify_all();
        port.HoldReads(kHoldMs);
    }
    void OnFailed(int /*error*/) override {}
    bool WaitForText(std::size_t size) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(10),
                                [&] { return text.size() >= size; });
    }

    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<double> readTimes;
    std::string text;

private:
    CSerialPort& port;
};

// The link's open sequence, line settings included, leaves the line raw at 38400 8N1.
TEST(SerialPort, OpenMakesTheLineRawAt38400AndCloseRestoresIt) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    SetLine(peer, B19200, ICANON | ECHO);
    CSerialPort port(kTimeBase);
    CHoldingReceiver receiver(port);
    ASSERT_EQ(port.Open(peer.SlavePath(), receiver), 0);
    const termios open = SlaveSettings(peer);
    EXPECT_EQ(cfgetospeed(&open), B38400);
    EXPECT_EQ(open.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(open.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(open.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(open.c_oflag & OPOST, 0u);

    ASSERT_EQ(port.CloseDevice(), 0);
    const termios after = SlaveSettings(peer);
    EXPECT_EQ(cfgetospeed(&after), B19200);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
}

// Bytes that come during a hold, or after it, all arrive in order, each read no sooner
// than the hold after the one before.
TEST(SerialPort, AHeldReadComesNoSoonerThanTheHoldAndLosesNothing) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CSerialPort port(kTimeBase);
    CHoldingReceiver receiver(port);
    ASSERT_EQ(port.Open(peer.SlavePath(), receiver), 0);
    const std::string sent = "abcdefgh";
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (i % 4 >= 2) {
            kTimeBase.Sleep(2 * CHoldingReceiver::kHoldMs); // let the hold pass first
        }
        ASSERT_TRUE(peer.Send(sent.substr(i, 1)));
        if (i % 2 == 1) {
            ASSERT_TRUE(receiver.WaitForText(i + 1));
        }
    }
    ASSERT_TRUE(receiver.WaitForText(sent.size()));
    port.Close();
    std::lock_guard lock(receiver.mutex);
    EXPECT_EQ(receiver.text, sent);
    for (std::size_t i = 1; i < receiver.readTimes.size(); ++i) {
        EXPECT_GE(receiver.readTimes[i] - receiver.readTimes[i - 1], CHoldingReceiver::kHoldMs)
            << "read " << i;
    }
}

// A pseudo-terminal has no transmit queue: this one is scripted, one length per query.
class CQueuedPort : public CSerialPort {
public:
    CQueuedPort(const CPtyPeer& peer, std::vector<int> queue, double scale)
        : CSerialPort(CTimeBase(scale)), peer(peer), queue(std::move(queue)) {}
    ~CQueuedPort() override { CloseDevice(); }
    mutable std::vector<speed_t> speedsSeen;

protected:
    int QueuedOutput(int) const override {
        const termios settings = SlaveSettings(peer);
        speedsSeen.push_back(cfgetospeed(&settings));
        return queue[std::min(speedsSeen.size(), queue.size()) - 1];
    }

private:
    const CPtyPeer& peer;
    std::vector<int> queue;
};

// Close drains at the port's speed, then restores; a queue that never empties meets the bound.
TEST(SerialPort, CloseLetsQueuedBytesGoOutAtThePortSpeedWithinABound) {
    for (const bool empties : {true, false}) {
        SCOPED_TRACE(empties);
        CPtyPeer peer;
        ASSERT_TRUE(peer.Ok());
        SetLine(peer, B9600);
        CQueuedPort port(peer, empties ? std::vector{40, 12, 0} : std::vector{100},
                         empties ? 1.0 : 1000.0);
        ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
        ASSERT_EQ(port.Write("STORE MCC\r", 10), 0);
        const double start = port.TimeBase().NowMs();
        ASSERT_EQ(port.CloseDevice(), 0);
        if (empties) {
            EXPECT_EQ(port.speedsSeen.size(), 3u);
            EXPECT_EQ(peer.Receive(10, 20000), "STORE MCC\r");
        } else {
            EXPECT_GE(port.TimeBase().NowMs() - start, CSerialPort::kDrainBoundMs);
        }
        EXPECT_EQ(std::count(port.speedsSeen.begin(), port.speedsSeen.end(), B38400),
                  static_cast<long>(port.speedsSeen.size()));
        const termios after = SlaveSettings(peer);
        EXPECT_EQ(cfgetospeed(&after), B9600);
    }
}

TEST(SerialPort, FailuresReturnTheSystemError) {
    for (const auto& [path, error] : {std::pair<std::string, int>{"/nonexistent/ttyUSB9", ENOENT},
                                      {"", ENOENT},
                                      {"/dev/null", ENOTTY}}) {
        CSerialPort port(kTimeBase);
        EXPECT_EQ(port.OpenDevice(path), error) << path;
        EXPECT_EQ(port.LastError(), error) << path;
        EXPECT_FALSE(port.IsOpen()) << path;
    }
    CPtyPeer peer;
    CSerialPort holder(kTimeBase), second(kTimeBase);
    ASSERT_EQ(holder.OpenDevice(peer.SlavePath(), false), 0);
    EXPECT_EQ(second.OpenDevice(peer.SlavePath(), false), EBUSY) << "held by another port";
    CSerialPort closed(kTimeBase);
    EXPECT_EQ(closed.Write("RESET IMU\r", 10), EBADF);
}

TEST(SerialPort, WriteCompletesALargeLineAndTimesOutWhenNothingIsRead) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CSerialPort port(kTimeBase);
    ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
    std::string line(256 * 1024, 'x');
    for (std::size_t i = 0; i < line.size(); i += 97) {
        line[i] = static_cast<char>('A' + i % 26);
    }
    std::string received;
    std::thread reader([&] { received = peer.Receive(line.size(), 20000); });
    std::size_t written = 0;
    // Twenty real seconds: the reader may stall a while on a loaded machine.
    EXPECT_EQ(port.Write(line.data(), line.size(), &written, 20000 * kTimeBase.Scale()), 0);
    reader.join();
    EXPECT_EQ(written, line.size());
    EXPECT_EQ(received, line);

    const std::string flood(4 * 1024 * 1024, 'z');
    EXPECT_EQ(port.Write(flood.data(), flood.size(), &written, 2000), ETIMEDOUT);
    EXPECT_LT(written, flood.size());
    EXPECT_EQ(port.LastError(), ETIMEDOUT);
}

} // namespace
