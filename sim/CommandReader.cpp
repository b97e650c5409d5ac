#include "sim/CommandReader.h"

std::vector<std::string> CCommandReader::Feed(std::string_view chunk) {
    std::vector<std::string> lines;
    for (char c : chunk) {
        if (c == '\r') {
            if (!overflowed && !pending.empty()) {
                lines.push_back(pending);
            }
            pending.clear();
            overflowed = false;
        } else if (c == '\n' || c == '\0') {
            continue;
        } else if (overflowed) {
            continue;
        } else if (pending.size() >= kMaxLine) {
            pending.clear();
            overflowed = true;
        } else {
            pending.push_back(c);
        }
    }
    return lines;
}
