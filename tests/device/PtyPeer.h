#pragma once

// The far end of a pseudo-terminal for tests: the test holds the master and the code
// under test opens the slave path, as it would open a serial device.

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
    CPtyPeer() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            ::ptsname_r(master, name, sizeof name) != 0) {
            Hangup();
            return;
        }
        slavePath = name;
        // Raw before the port opens it, so the line discipline never rewrites test bytes.
        termios settings{};
        if (::tcgetattr(master, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(master, TCSANOW, &settings);
        }
    }
    ~CPtyPeer() { Hangup(); }
    CPtyPeer(const CPtyPeer&) = delete;
    CPtyPeer& operator=(const CPtyPeer&) = delete;

    bool Ok() const { return master >= 0; }
    const std::string& SlavePath() const { return slavePath; }
    int Master() const { return master; }

    // Writes all bytes; false when the far end takes none for `realMs` real milliseconds
    // (nobody reads the port), so a writer never blocks for good.
    bool Send(const std::string& bytes, int realMs = 5000) {
        std::size_t done = 0;
        while (master >= 0 && done < bytes.size()) {
            const ssize_t count = ::write(master, bytes.data() + done, bytes.size() - done);
            if (count > 0) {
                done += static_cast<std::size_t>(count);
            } else if (count < 0 && errno != EINTR && errno != EAGAIN) {
                return false;
            } else if (pollfd entry{master, POLLOUT, 0}; ::poll(&entry, 1, realMs) <= 0) {
                return false;
            }
        }
        return done == bytes.size();
    }

    // Reads until `count` bytes have arrived or `realMs` real milliseconds pass. Without a
    // count it returns what is waiting once nothing more comes for `realMs`.
    std::string Receive(std::size_t count = std::string::npos, int realMs = 50) {
        using Clock = std::chrono::steady_clock;
        std::string received;
        const auto until = Clock::now() + std::chrono::milliseconds(realMs);
        while (master >= 0 && received.size() < count) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            pollfd entry{master, POLLIN, 0};
            char buffer[4096];
            ssize_t got = 0;
            if (::poll(&entry, 1, count == std::string::npos ? realMs : int(left.count())) <= 0 ||
                (got = ::read(master, buffer, sizeof buffer)) <= 0) {
                break;
            }
            received.append(buffer, static_cast<std::size_t>(got));
        }
        return received;
    }

    // Closes the master: the slave sees a hang-up, as when an adapter is pulled out.
    void Hangup() {
        if (master >= 0) {
            ::close(master);
            master = -1;
        }
    }

private:
    int master = -1;
    std::string slavePath;
};
