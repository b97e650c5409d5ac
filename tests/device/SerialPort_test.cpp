#include "device/PtyPeer.h"
#include "device/SerialPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

constexpr double kScale = 20.0;

// Collects what the listener reads and how it ended.
class CRecordingPort : public CSerialPort {
public:
    CRecordingPort() : CSerialPort(CTimeBase(kScale)) {}
    ~CRecordingPort() override { CloseDevice(); }

    bool WaitForText(const std::string& text, int realMs) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(realMs),
                                [&] { return received.find(text) != std::string::npos; });
    }
    bool WaitForFailure(int realMs) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(realMs),
                                [&] { return failures > 0; });
    }
    int Failures() {
        std::lock_guard lock(mutex);
        return failures;
    }
    int FailureError() {
        std::lock_guard lock(mutex);
        return failureError;
    }

protected:
    int OnPortEvent(unsigned events, unsigned) override {
        if ((events & kReceivedChars) == 0) {
            return 0;
        }
        char buffer[1023];
        std::size_t count = 0;
        const int status = Read(buffer, sizeof buffer, &count);
        std::lock_guard lock(mutex);
        received.append(buffer, count);
        changed.notify_all();
        return status;
    }
    void OnReceiverFailed(int error) override {
        CSerialPort::OnReceiverFailed(error);
        std::lock_guard lock(mutex);
        ++failures;
        failureError = error;
        changed.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::string received;
    int failures = 0;
    int failureError = 0;
};

termios SlaveSettings(const CPtyPeer& peer) {
    termios settings{};
    ::tcgetattr(peer.Master(), &settings); // a master reports its slave's settings
    return settings;
}

TEST(SerialPort, ReceivesWhatTheFarEndSends) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CRecordingPort port;
    ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
    ASSERT_TRUE(peer.Send("PITCH 2.50\r\n\x1b[1;1H"));
    EXPECT_TRUE(port.WaitForText("PITCH 2.50\r\n\x1b[1;1H", 5000));
    EXPECT_EQ(port.Failures(), 0);
}

TEST(SerialPort, OpenMakesTheLineRawAt38400AndCloseRestoresIt) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    termios before = SlaveSettings(peer);
    before.c_lflag |= ICANON | ECHO;
    cfsetospeed(&before, B9600);
    ASSERT_EQ(::tcsetattr(peer.Master(), TCSANOW, &before), 0);

    CRecordingPort port;
    ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
    const termios open = SlaveSettings(peer);
    EXPECT_EQ(cfgetospeed(&open), B38400);
    EXPECT_EQ(open.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(open.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(open.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(open.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(open.c_oflag & OPOST, 0u);

    ASSERT_EQ(port.CloseDevice(), 0);
    const termios after = SlaveSettings(peer);
    EXPECT_EQ(cfgetospeed(&after), B9600);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
}

TEST(SerialPort, OpenFailuresReturnTheSystemError) {
    char fileName[] = "/tmp/hx410-not-a-tty-XXXXXX";
    const int file = ::mkstemp(fileName);
    ASSERT_GE(file, 0);
    ::close(file);

    struct Case {
        std::string path;
        int error;
    } const cases[] = {{"/nonexistent/ttyUSB9", ENOENT}, {"", ENOENT}, {fileName, ENOTTY}};
    for (const Case& c : cases) {
        CRecordingPort port;
        EXPECT_EQ(port.OpenDevice(c.path), c.error) << c.path;
        EXPECT_EQ(port.LastError(), c.error) << c.path;
        EXPECT_FALSE(port.IsOpen()) << c.path;
    }
    ::unlink(fileName);
}

TEST(SerialPort, SecondOpenOfAHeldDeviceIsBusyUntilTheFirstCloses) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CRecordingPort first;
    CRecordingPort second;
    ASSERT_EQ(first.OpenDevice(peer.SlavePath()), 0);
    EXPECT_EQ(second.OpenDevice(peer.SlavePath()), EBUSY);
    first.CloseDevice();
    EXPECT_EQ(second.OpenDevice(peer.SlavePath()), 0);
}

TEST(SerialPort, WriteCompletesALineLargerThanTheDeviceQueue) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CRecordingPort port;
    ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
    std::string line(256 * 1024, 'x');
    for (std::size_t i = 0; i < line.size(); i += 97) {
        line[i] = static_cast<char>('A' + i % 26);
    }
    std::string received;
    std::thread reader([&] { received = peer.Receive(line.size(), 20000); });
    std::size_t written = 0;
    EXPECT_EQ(port.Write(line.data(), line.size(), &written), 0);
    reader.join();
    EXPECT_EQ(written, line.size());
    EXPECT_EQ(received, line);
}

TEST(SerialPort, WriteThatCannotProgressTimesOutInsteadOfHanging) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CRecordingPort port;
    ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
    const std::string flood(4 * 1024 * 1024, 'z'); // nobody reads the far end
    std::size_t written = 0;
    EXPECT_EQ(port.Write(flood.data(), flood.size(), &written, 2000), ETIMEDOUT);
    EXPECT_LT(written, flood.size());
    EXPECT_EQ(port.LastError(), ETIMEDOUT);
}

TEST(SerialPort, OperationsOnAClosedPortFailWithBadDescriptor) {
    CRecordingPort port;
    EXPECT_EQ(port.Write("RESET IMU\r", 10), EBADF);
    char buffer[8];
    std::size_t count = 1;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count), EBADF);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.SetLineSettings(38400, 8, CSerialPort::Parity::None, 1), EBADF);
    EXPECT_EQ(port.CloseDevice(), 0);
}

TEST(SerialPort, SetLineSettingsAppliesFramingAndRejectsNonsense) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CRecordingPort port;
    ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
    // A pseudo-terminal keeps 8 bits without parity whatever is asked, so only the
    // speed and the stop bits can be seen from its far end.
    ASSERT_EQ(port.SetLineSettings(9600, 8, CSerialPort::Parity::None, 2), 0);
    termios settings = SlaveSettings(peer);
    EXPECT_EQ(cfgetospeed(&settings), B9600);
    EXPECT_EQ(settings.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));

    ASSERT_EQ(port.SetLineSettings(38400, 8, CSerialPort::Parity::None, 1), 0);
    settings = SlaveSettings(peer);
    EXPECT_EQ(cfgetospeed(&settings), B38400);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));

    struct Case {
        unsigned baud;
        int dataBits;
        int stopBits;
    } const bad[] = {{12345, 8, 1}, {38400, 9, 1}, {38400, 4, 1}, {38400, 8, 0}, {38400, 8, 3}};
    for (const Case& c : bad) {
        EXPECT_EQ(port.SetLineSettings(c.baud, c.dataBits, CSerialPort::Parity::None, c.stopBits),
                  EINVAL);
    }
}

TEST(SerialPort, HangUpEndsTheListenerOnceAndClosesTheDevice) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CRecordingPort port;
    ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
    ASSERT_TRUE(peer.Send("MNT 9\x1b"));
    ASSERT_TRUE(port.WaitForText("MNT 9", 5000));
    peer.Hangup();
    ASSERT_TRUE(port.WaitForFailure(5000));
    EXPECT_NE(port.FailureError(), 0);
    EXPECT_FALSE(port.IsOpen());      // the failure handler closed it before reporting
    EXPECT_EQ(port.CloseDevice(), 0); // joins the finished listener
    EXPECT_EQ(port.Failures(), 1);
}

TEST(SerialPort, ReopenAfterCloseReceivesAgain) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CRecordingPort port;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(port.OpenDevice(peer.SlavePath()), 0);
        const std::string text = "Lat " + std::to_string(round) + "\x1b";
        ASSERT_TRUE(peer.Send(text));
        EXPECT_TRUE(port.WaitForText(text, 5000)) << round;
        ASSERT_EQ(port.CloseDevice(), 0);
    }
}

} // namespace
