#pragma once

#include "device/TimeBase.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>

// A serial device on POSIX termios, with a listener thread that reports received
// characters. Every operation returns 0 on success or an errno value, which the port
// also keeps as its last error.
//
// Threads: open, close and writes belong to the caller's (user-interface) thread; the
// listener thread reads and calls OnPortEvent. When the listener meets a hang-up or a
// read failure it calls OnReceiverFailed on its own way out; a derived class may reopen
// the device there (ReopenDevice) and the same thread then goes on listening.
//
// A derived class that overrides the two handlers must call CloseDevice in its own
// destructor, so that the listener is gone before the derived part is destroyed.
class CSerialPort {
public:
    enum class Parity { None, Odd, Even };
    enum PortEvent : unsigned { kReceivedChars = 0x01 };

    // Bound on a write that makes no progress (the device stopped taking bytes).
    static constexpr double kWriteTimeoutMs = 5000;
    // Bound on the wait at close for the bytes still queued to go out.
    static constexpr double kDrainBoundMs = 500;

    explicit CSerialPort(CTimeBase timeBase = CTimeBase());
    virtual ~CSerialPort();

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

    // Writes all `length` bytes, waiting while the device's output queue is full; fails
    // with ETIMEDOUT when no byte could be written for `timeoutMs` program milliseconds.
    int Write(const void* data, std::size_t length, std::size_t* written = nullptr,
              double timeoutMs = kWriteTimeoutMs);
    // Non-blocking read of what has arrived (possibly nothing). A zero-byte read, which
    // means the device went away, fails with ENODEV.
    int Read(void* buffer, std::size_t length, std::size_t* read);

    int StartReceiver();
    int StopReceiver();

    bool IsOpen() const { return fd.load() >= 0; }
    int LastError() const { return lastError.load(); }
    const CTimeBase& TimeBase() const { return timeBase; }

protected:
    // Listener thread: characters have arrived. A non-zero result is a read failure and
    // ends the wait loop as a hang-up does.
    virtual int OnPortEvent(unsigned events, unsigned errors);
    // Listener thread, on its way out after a failure. The default closes the device.
    virtual void OnReceiverFailed(int error);

    // For OnReceiverFailed: closes the device without waiting for the listener (the
    // caller is the listener), and reopens it with the full open sequence without
    // starting another listener.
    void CloseFromListener();
    int ReopenDevice(const std::string& devicePath);
    // Sleeps for a program duration unless the listener is asked to stop meanwhile;
    // returns false when it was.
    bool PauseListener(double programMs);
    bool StopRequested() const { return stopRequested.load(); }

    // Records `status` as the last error and returns it.
    int Keep(int status);

    // Bytes the driver still has to send (TIOCOUTQ), or -1 when it cannot tell.
    virtual int QueuedOutput(int handle) const;

private:
    int OpenHandle(const std::string& devicePath);
    void CloseHandle(bool drain = false);
    bool DrainOutput(int handle) const;
    int WaitForOutput(int handle, double untilMs);
    void ListenerMain();
    int WaitAndDispatch();

    CTimeBase timeBase;
    std::atomic<int> fd{-1};
    std::atomic<int> lastError{0};
    std::mutex deviceLock; // guards opening, closing and writing the handle
    termios savedSettings{};
    bool haveSavedSettings = false;

    std::thread listener;
    int wakeFd = -1;
    std::atomic<bool> stopRequested{false};
    std::mutex pauseLock;
    std::condition_variable pauseWake;
};
