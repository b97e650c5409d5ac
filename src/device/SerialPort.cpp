#include "device/SerialPort.h"

#include "device/ComPortList.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool SpeedOf(unsigned baud, speed_t& speed) {
    switch (baud) {
    case 1200:
        speed = B1200;
        return true;
    case 2400:
        speed = B2400;
        return true;
    case 4800:
        speed = B4800;
        return true;
    case 9600:
        speed = B9600;
        return true;
    case 19200:
        speed = B19200;
        return true;
    case 38400:
        speed = B38400;
        return true;
    case 57600:
        speed = B57600;
        return true;
    case 115200:
        speed = B115200;
        return true;
    case 230400:
        speed = B230400;
        return true;
    default:
        return false;
    }
}

// Raw 8-bit, 38400 8N1, no flow control, modem lines ignored. Breaks and bytes with
// framing or parity errors are dropped by the driver, so line errors never reach the
// parser. VMIN 1 makes a non-blocking read without data fail with EAGAIN, so that a
// zero-byte read always means the device went away.
void MakeRaw(termios& settings) {
    cfmakeraw(&settings);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    settings.c_iflag |= IGNBRK | IGNPAR;
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
}

void CloseQuietly(int handle) {
    const int saved = errno;
    ::close(handle);
    errno = saved;
}

} // namespace

CSerialPort::CSerialPort(CTimeBase timeBase) : timeBase(timeBase) {}

CSerialPort::~CSerialPort() {
    CloseDevice();
}

int CSerialPort::Keep(int status) {
    lastError.store(status);
    return status;
}

int CSerialPort::OpenDevice(const std::string& devicePath, bool startReceiver) {
    CloseDevice();
    int status = 0;
    {
        std::lock_guard lock(deviceLock);
        status = OpenHandle(devicePath);
    }
    if (status != 0) {
        return Keep(status);
    }
    if (startReceiver) {
        status = StartReceiver();
        if (status != 0) {
            std::lock_guard lock(deviceLock);
            CloseHandle();
            return Keep(status);
        }
    }
    return Keep(0);
}

int CSerialPort::OpenHandle(const std::string& devicePath) {
    if (devicePath.empty()) {
        return ENOENT;
    }
    const int handle = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        return errno;
    }
    // Exclusive mode set by another program keeps out all but privileged openers.
    if (int exclusive = 0; ::ioctl(handle, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        CloseQuietly(handle);
        return EBUSY;
    }
    // The lock holds against every opener that takes it, privileged ones included
    // (TIOCEXCL lets those through).
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        CloseQuietly(handle);
        return error;
    }
    // TIOCEXCL keeps other openers out; a pseudo-terminal may not support it. It is
    // set only once the lock is ours, so a device held by another program is never touched.
    if (::ioctl(handle, TIOCEXCL) != 0 && errno != EINVAL && errno != ENOTTY) {
        const int error = errno;
        CloseQuietly(handle);
        return error;
    }
    termios previous{};
    if (::tcgetattr(handle, &previous) != 0) {
        const int error = errno;
        CloseQuietly(handle);
        return error;
    }
    termios raw = previous;
    MakeRaw(raw);
    if (::tcsetattr(handle, TCSANOW, &raw) != 0) {
        const int error = errno;
        CloseQuietly(handle);
        return error;
    }
    ::tcflush(handle, TCIOFLUSH);
    savedSettings = previous;
    haveSavedSettings = true;
    fd.store(handle);
    return 0;
}

int CSerialPort::QueuedOutput(int handle) const {
    int queued = 0;
    return ::ioctl(handle, TIOCOUTQ, &queued) == 0 ? queued : -1;
}

// Waits, within a bound, until the driver's output queue is empty: the tail of the last
// command must leave at the port's speed before the old settings come back. tcdrain alone
// could wait forever on a device held up by flow control. False when bytes are left.
bool CSerialPort::DrainOutput(int handle) const {
    constexpr double kPollMs = 5;
    const double untilMs = timeBase.NowMs() + kDrainBoundMs;
    for (;;) {
        const int queued = QueuedOutput(handle);
        if (queued <= 0) {
            return queued == 0;
        }
        const double leftMs = untilMs - timeBase.NowMs();
        if (leftMs <= 0) {
            return false;
        }
        timeBase.Sleep(std::min(leftMs, kPollMs));
    }
}

void CSerialPort::CloseHandle(bool drain) {
    const int handle = fd.exchange(-1);
    if (handle < 0) {
        return;
    }
    // With the queue empty, TCSADRAIN waits only for the transmitter itself (bounded by
    // the driver). Bytes that cannot leave are discarded, so the close does not wait for
    // them either (a serial driver would, for up to 30 s).
    const bool drained = drain && DrainOutput(handle);
    if (!drained) {
        ::tcflush(handle, TCOFLUSH);
    }
    if (haveSavedSettings) {
        ::tcsetattr(handle, drained ? TCSADRAIN : TCSANOW, &savedSettings);
        haveSavedSettings = false;
    }
    ::ioctl(handle, TIOCNXCL);
    ::close(handle); // also releases the flock
}

int CSerialPort::CloseDevice() {
    StopReceiver();
    std::lock_guard lock(deviceLock);
    CloseHandle(true);
    return Keep(0);
}

void CSerialPort::CloseFromListener() {
    std::lock_guard lock(deviceLock);
    CloseHandle();
}

int CSerialPort::Open(const std::string& devicePath, ITransportReceiver& newReceiver) {
    CloseDevice(); // the listener is gone before the receiver changes
    receiver = &newReceiver;
    const int status = OpenDevice(devicePath, true);
    if (status == 0) {
        // The open sequence's line settings. The raw mode has set the same line already,
        // so a failure here changes nothing and is not reported.
        SetLineSettings(38400, 8, Parity::None, 1);
    }
    return status;
}

int CSerialPort::Reopen(const std::string& devicePath) {
    std::lock_guard lock(deviceLock);
    CloseHandle();
    return Keep(OpenHandle(devicePath));
}

int CSerialPort::SetLineSettings(unsigned baud, int dataBits, Parity parity, int stopBits) {
    speed_t speed{};
    if (!SpeedOf(baud, speed) || dataBits < 5 || dataBits > 8 || stopBits < 1 || stopBits > 2) {
        return Keep(EINVAL);
    }
    std::lock_guard lock(deviceLock);
    const int handle = fd.load();
    if (handle < 0) {
        return Keep(EBADF);
    }
    termios settings{};
    if (::tcgetattr(handle, &settings) != 0) {
        return Keep(errno);
    }
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    settings.c_cflag |= kSizes[dataBits - 5];
    if (parity != Parity::None) {
        settings.c_cflag |= PARENB;
    }
    if (parity == Parity::Odd) {
        settings.c_cflag |= PARODD;
    }
    if (stopBits == 2) {
        settings.c_cflag |= CSTOPB;
    }
    settings.c_iflag &= ~INPCK; // parity checking off
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    return Keep(::tcsetattr(handle, TCSANOW, &settings) == 0 ? 0 : errno);
}

int CSerialPort::WaitForOutput(int handle, double untilMs) {
    for (;;) {
        const double leftMs = untilMs - timeBase.NowMs();
        if (leftMs <= 0) {
            return ETIMEDOUT;
        }
        const auto real = std::chrono::duration<double, std::milli>(timeBase.ToReal(leftMs));
        pollfd entry{handle, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::ceil(real.count())));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (ready == 0) {
            continue; // the loop's clock check decides whether time is up
        }
        if (entry.revents & POLLOUT) {
            return 0;
        }
        return entry.revents & POLLNVAL ? EBADF : EIO;
    }
}

int CSerialPort::Write(const void* data, std::size_t length, std::size_t* written,
                       double timeoutMs) {
    std::size_t done = 0;
    int status = 0;
    {
        std::lock_guard lock(deviceLock);
        const int handle = fd.load();
        const auto* bytes = static_cast<const char*>(data);
        double untilMs = timeBase.NowMs() + timeoutMs;
        if (handle < 0) {
            status = EBADF;
        }
        while (status == 0 && done < length) {
            const ssize_t count = ::write(handle, bytes + done, length - done);
            if (count > 0) {
                done += static_cast<std::size_t>(count);
                untilMs = timeBase.NowMs() + timeoutMs;
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else if (count < 0 && errno != EAGAIN) {
                status = errno;
            } else {
                status = WaitForOutput(handle, untilMs);
            }
        }
    }
    if (written != nullptr) {
        *written = done;
    }
    return Keep(status);
}

int CSerialPort::Read(void* buffer, std::size_t length, std::size_t* read) {
    *read = 0;
    const int handle = fd.load();
    if (handle < 0) {
        return Keep(EBADF);
    }
    if (length == 0) {
        return Keep(0);
    }
    for (;;) {
        const ssize_t count = ::read(handle, buffer, length);
        if (count > 0) {
            *read = static_cast<std::size_t>(count);
            return Keep(0);
        }
        if (count == 0) {
            return Keep(ENODEV);
        }
        if (errno == EINTR) {
            continue;
        }
        return Keep(errno == EAGAIN ? 0 : errno);
    }
}

int CSerialPort::StartReceiver() {
    StopReceiver();
    if (!IsOpen()) {
        return Keep(EBADF);
    }
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        return Keep(errno);
    }
    wakeFd = wake;
    {
        std::lock_guard lock(pauseLock);
        stopRequested.store(false);
    }
    holdUntilMs = kNoHold;
    sleepOutHolds = false;
    listener = std::thread([this] { ListenerMain(); });
    return Keep(0);
}

int CSerialPort::StopReceiver() {
    if (!listener.joinable()) {
        return 0;
    }
    if (listener.get_id() == std::this_thread::get_id()) {
        return Keep(EDEADLK); // the listener cannot wait for itself: see CloseFromListener
    }
    {
        std::lock_guard lock(pauseLock);
        stopRequested.store(true);
    }
    pauseWake.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeFd, &one, sizeof one);
    listener.join();
    ::close(wakeFd);
    wakeFd = -1;
    return 0;
}

bool CSerialPort::PauseReader(double programMs) {
    std::unique_lock lock(pauseLock);
    return !timeBase.WaitFor(pauseWake, lock, programMs, [this] { return stopRequested.load(); });
}

void CSerialPort::ListenerMain() {
    for (;;) {
        const int error = WaitAndDispatch();
        if (stopRequested.load()) {
            return;
        }
        CloseFromListener();
        if (receiver != nullptr) {
            receiver->OnFailed(error);
        }
        if (stopRequested.load() || !IsOpen()) {
            return;
        }
    }
}

void CSerialPort::HoldReads(double programMs) {
    holdUntilMs = timeBase.NowMs() + programMs;
}

bool CSerialPort::HoldPending() const {
    return holdUntilMs != kNoHold && timeBase.NowMs() < holdUntilMs;
}

void CSerialPort::SleepOutHold() {
    timeBase.Sleep(holdUntilMs - timeBase.NowMs());
    holdUntilMs = kNoHold;
}

// A hold (HoldReads) is waited out in one of two ways, whichever the line's rhythm makes
// cheaper, so that each read costs one wake-up: when bytes come in bursts further apart
// than the hold, the listener waits for them at once (the hold has passed when they come);
// when they keep coming within the hold, it sleeps the hold out first and finds them
// waiting. It switches when a wait shows the other way would have been the cheaper one.
// Either way no read comes before the hold ends, nor later than the first event after.
int CSerialPort::WaitAndDispatch() {
    for (;;) {
        const int handle = fd.load();
        if (handle < 0) {
            return EBADF;
        }
        int timeoutMs = -1; // StopReceiver wakes this wait through the event descriptor
        if (sleepOutHolds && HoldPending()) {
            SleepOutHold();
            timeoutMs = 0;
        }
        pollfd entries[2] = {{handle, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(entries, 2, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (stopRequested.load() || entries[1].revents != 0) {
            return 0;
        }
        if (ready == 0) {
            sleepOutHolds = false; // nothing came during the hold
            continue;
        }
        if (HoldPending()) {
            sleepOutHolds = true; // something came within the hold
            SleepOutHold();
            continue;
        }
        const short events = entries[0].revents;
        if (events & POLLIN) {
            // Data queued before a hang-up is read first; the failure follows on a
            // later round, when only the hang-up is left.
            const int status = ReceiveAvailable();
            if (status != 0) {
                return status;
            }
        } else if (events & POLLNVAL) {
            return EBADF;
        } else if (events & (POLLHUP | POLLERR)) {
            return EIO;
        }
    }
}

int CSerialPort::ReceiveAvailable() {
    char buffer[kReadSize];
    std::size_t count = 0;
    const int status = Read(buffer, sizeof buffer, &count);
    if (status == 0 && count > 0 && receiver != nullptr) {
        receiver->OnReceived(std::string_view(buffer, count));
    }
    return status;
}

int CSerialPort::Probe(const std::string& devicePath) const {
    return ProbeComPort(devicePath);
}
