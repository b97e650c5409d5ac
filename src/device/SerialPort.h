#pragma once

#include "device/TimeBase.h"
#include "device/Transport.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <termios.h>
#include <thread>

// A serial device on POSIX termios, with a listener thread that reads what arrives.
// Every operation returns 0 on success or an errno value, which the port also keeps as
// its last error.
//
// Threads: open, close and writes belong to the caller's (user-interface) thread; the
// listener thread reads, at most kReadSize bytes at a time, and hands the bytes to the
// receiver given to Open (without one they are dropped), which may hold the next read for
// a while (HoldReads). When the listener meets a
// hang-up or a read failure it closes the device and calls the receiver's OnFailed on
// its own way out; the receiver may pause and reopen the device there, and the same
// thread then goes on listening.
class CSerialPort : public ITransport {
public:
    enum class Parity { None, Odd, Even };

    // Bound on a write that makes no progress (the device stopped taking bytes).
    static constexpr double kWriteTimeoutMs = 5000;
    // Bound on the wait at close for the bytes still queued to go out.
    static constexpr double kDrainBoundMs = 500;
    static constexpr std::size_t kReadSize = 1023;

    explicit CSerialPort(CTimeBase timeBase = CTimeBase());
    ~CSerialPort() override;

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens `devicePath` exclusively (TIOCEXCL and an flock; a device held elsewhere gives
    // EBUSY), saves its terminal settings and makes it raw, 38400 8N1, no flow control,
    // purged. Closes a device that is still open first. Starts the listener when asked;
    // if it cannot start, the device is closed again and the error returned.
    int OpenDevice(const std::string& devicePath, bool startReceiver = true);
    // Stops the listener, lets the bytes still queued go out (for at most kDrainBoundMs
    // program milliseconds; a device stopped by flow control has the rest discarded),
    // then restores the saved settings and closes the device.
    int CloseDevice();
    int SetLineSettings(unsigned baud, int dataBits, Parity parity, int stopBits);

    // The transport: OpenDevice with a listener that hands on to `receiver`, then the
    // maintenance port's line settings.
    int Open(const std::string& devicePath, ITransportReceiver& receiver) override;
    int Close() override { return CloseDevice(); }
    int Write(std::string_view bytes) override { return Write(bytes.data(), bytes.size()); }
    bool IsOpen() const override { return fd.load() >= 0; }
    int Probe(const std::string& devicePath) const override;
    bool PauseReader(double programMs) override;
    int Reopen(const std::string& devicePath) override;
    void HoldReads(double programMs) override;

    // Writes all `length` bytes, waiting while the device's output queue is full; fails
    // with ETIMEDOUT when no byte could be written for `timeoutMs` program milliseconds.
    int Write(const void* data, std::size_t length, std::size_t* written = nullptr,
              double timeoutMs = kWriteTimeoutMs);
    // Non-blocking read of what has arrived (possibly nothing). A zero-byte read, which
    // means the device went away, fails with ENODEV.
    int Read(void* buffer, std::size_t length, std::size_t* read);

    int StartReceiver();
    int StopReceiver();

    int LastError() const { return lastError.load(); }
    const CTimeBase& TimeBase() const { return timeBase; }

protected:
    // Records `status` as the last error and returns it.
    int Keep(int status);

    // Bytes the driver still has to send (TIOCOUTQ), or -1 when it cannot tell.
    virtual int QueuedOutput(int handle) const;

private:
    static constexpr double kNoHold = -1e300;

    int OpenHandle(const std::string& devicePath);
    void CloseHandle(bool drain = false);
    bool DrainOutput(int handle) const;
    int WaitForOutput(int handle, double untilMs);
    void ListenerMain();
    int WaitAndDispatch();
    bool HoldPending() const;
    void SleepOutHold();
    // Reads what has arrived and hands it on; a non-zero result is a read failure.
    int ReceiveAvailable();
    void CloseFromListener();

    CTimeBase timeBase;
    std::atomic<int> fd{-1};
    std::atomic<int> lastError{0};
    std::mutex deviceLock; // guards opening, closing and writing the handle
    termios savedSettings{};
    bool haveSavedSettings = false;

    // Set by Open before the listener starts; the listener only reads it.
    ITransportReceiver* receiver = nullptr;
    std::thread listener;
    int wakeFd = -1;
    std::atomic<bool> stopRequested{false};
    // Listener thread only: no read before this program time (HoldReads), and whether the
    // listener sleeps out a hold before it waits for bytes (see WaitAndDispatch).
    double holdUntilMs = kNoHold;
    bool sleepOutHolds = false;
    std::mutex pauseLock;
    std::condition_variable pauseWake;
};
