#pragma once

#include <cctype>
#include <chrono>
#include <functional>
#include <poll.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

// A deliberately small reader of the unit's terminal screen for the tests: lines end at
// the escape character, a cursor sequence "[...H" is dropped and blanks are collapsed.
// Independent of the program's own parser, so the tests compare two readings.
inline std::vector<std::string> ScreenLines(std::string_view bytes) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
        end = bytes.find('\x1b', start);
        std::string_view piece = bytes.substr(start, end == bytes.npos ? bytes.npos : end - start);
        if (piece.starts_with('[')) {
            const std::size_t h = piece.find('H');
            piece = h == piece.npos ? std::string_view() : piece.substr(h + 1);
        }
        std::string line;
        for (const char c : piece) {
            if (!std::isspace(static_cast<unsigned char>(c))) {
                line.push_back(c);
            } else if (!line.empty() && line.back() != ' ') {
                line.push_back(' ');
            }
        }
        if (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The first line beginning with `keyword`, or an empty string.
inline std::string FindLine(const std::vector<std::string>& lines, std::string_view keyword) {
    for (const std::string& l : lines) {
        if (l.starts_with(keyword)) {
            return l;
        }
    }
    return {};
}

// What the port `fd` gives until `done` holds for all of it, or 20 real seconds have passed.
inline std::string ReadPort(int fd, const std::function<bool(const std::string&)>& done) {
    std::string received;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done(received) && std::chrono::steady_clock::now() < until) {
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
    return received;
}
