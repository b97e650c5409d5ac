#pragma once

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

// A deliberately small reader of the unit's terminal screen for the tests: lines end at
// the escape character, a cursor sequence "[...H" is dropped and blanks are collapsed.
// Independent of the program's own parser, so the tests compare two readings.
inline std::vector<std::string> ScreenLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos <= bytes.size()) {
        const std::size_t esc = bytes.find('\x1b', pos);
        std::string_view piece =
            bytes.substr(pos, esc == std::string_view::npos ? bytes.npos : esc - pos);
        if (!piece.empty() && piece[0] == '[') {
            const std::size_t h = piece.find('H');
            piece = h == std::string_view::npos ? std::string_view() : piece.substr(h + 1);
        }
        std::string line;
        for (char c : piece) {
            if (std::isspace(static_cast<unsigned char>(c))) {
                if (!line.empty() && line.back() != ' ') {
                    line.push_back(' ');
                }
            } else {
                line.push_back(c);
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
        if (esc == std::string_view::npos) {
            break;
        }
        pos = esc + 1;
    }
    return lines;
}

// The first line beginning with `keyword`, or an empty string.
inline std::string FindLine(const std::vector<std::string>& lines, std::string_view keyword) {
    for (const std::string& l : lines) {
        if (l.rfind(keyword, 0) == 0) {
            return l;
        }
    }
    return {};
}
