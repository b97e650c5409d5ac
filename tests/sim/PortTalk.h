#pragma once

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

// Opens the port at `path` as a program would, purges it and writes `send`; then what the
// port gives until `done` holds for all of it, or 20 real seconds have passed.
inline std::string TalkToPort(const std::string& path, const std::string& send,
                              const std::function<bool(const std::string&)>& done) {
    std::string received;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool sent = fd >= 0 && ::tcflush(fd, TCIOFLUSH) == 0 &&
                      ::write(fd, send.data(), send.size()) == static_cast<ssize_t>(send.size());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sent && !done(received) && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        char chunk[2048];
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        received.append(chunk, static_cast<std::size_t>(n));
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return received;
}
