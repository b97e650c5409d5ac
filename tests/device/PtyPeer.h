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
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            Hangup();
            return;
        }
        char name[128] = {};
        if (::ptsname_r(master, name, sizeof name) != 0) {
            Hangup();
            return;
        }
        slavePath = name;
        // Keep the slave side raw even before the port opens it, so the line discipline
        // never echoes or rewrites what the test sends.
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

    bool Send(const std::string& bytes) {
        std::size_t done = 0;
        while (master >= 0 && done < bytes.size()) {
            const ssize_t count = ::write(master, bytes.data() + done, bytes.size() - done);
            if (count > 0) {
                done += static_cast<std::size_t>(count);
            } else if (count < 0 && errno != EINTR && errno != EAGAIN) {
                return false;
            }
        }
        return done == bytes.size();
    }

    // Reads until `count` bytes have arrived or `realMs` real milliseconds pass.
    std::string Receive(std::size_t count, int realMs) {
        std::string received;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
        while (master >= 0 && received.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd entry{master, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            received.append(buffer, static_cast<std::size_t>(got));
        }
        return received;
    }

    // Everything that is waiting now (after a short grace period for bytes in flight).
    std::string Drain(int graceRealMs = 50) {
        std::string received;
        for (;;) {
            pollfd entry{master, POLLIN, 0};
            if (master < 0 || ::poll(&entry, 1, graceRealMs) <= 0) {
                return received;
            }
            char buffer[4096];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0) {
                return received;
            }
            received.append(buffer, static_cast<std::size_t>(got));
        }
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
