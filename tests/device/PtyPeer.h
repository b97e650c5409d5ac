#pragma once

// The far end of a pseudo-terminal: the test holds the master and the code under test opens
// the slave path, as it would open a serial device. Every wait is bounded in real time.

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

class CPtyPeer {
public:
    CPtyPeer() : master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        char name[128] = {};
        termios settings{};
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
            ::ptsname_r(master, name, sizeof name) == 0 && ::tcgetattr(master, &settings) == 0) {
            slavePath = name;
            // Raw before the port opens it, so the line discipline never rewrites test bytes.
            ::cfmakeraw(&settings);
            ::tcsetattr(master, TCSANOW, &settings);
        }
    }
    ~CPtyPeer() { ::close(master); }
    CPtyPeer(const CPtyPeer&) = delete;
    CPtyPeer& operator=(const CPtyPeer&) = delete;

    bool Ok() const { return !slavePath.empty(); }
    const std::string& SlavePath() const { return slavePath; }
    int Master() const { return master; }

    // Writes all bytes; false when the far end takes none for five real seconds.
    bool Send(const std::string& bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t count = ::write(master, bytes.data() + done, bytes.size() - done);
            if (count > 0) {
                done += static_cast<std::size_t>(count);
            } else if ((count < 0 && errno != EINTR && errno != EAGAIN) ||
                       !Wait(POLLOUT, Clock::now() + std::chrono::seconds(5))) {
                return false;
            }
        }
        return true;
    }

    // Reads until `count` bytes have arrived or `realMs` real milliseconds have passed.
    std::string Receive(std::size_t count, int realMs) {
        const auto until = Clock::now() + std::chrono::milliseconds(realMs);
        std::string received;
        char buffer[4096];
        ssize_t got = 0;
        while (received.size() < count && Wait(POLLIN, until) &&
               (got = ::read(master, buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
        }
        return received;
    }

private:
    using Clock = std::chrono::steady_clock;

    bool Wait(short events, Clock::time_point until) const {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        pollfd entry{master, events, 0};
        return left.count() > 0 && ::poll(&entry, 1, static_cast<int>(left.count())) > 0;
    }

    int master;
    std::string slavePath;
};
