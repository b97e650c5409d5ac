#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Splits the bytes received on the maintenance port into command lines. A carriage
// return ends a line; line feeds are ignored and empty lines dropped (PAGE is sent with
// three carriage returns). A line that grows past kMaxLine without a carriage return is
// garbage and is discarded up to its end, so a stream without CR cannot grow memory.
class CCommandReader {
public:
    static constexpr std::size_t kMaxLine = 256;

    // Complete lines found in this chunk, without their CR.
    std::vector<std::string> Feed(std::string_view chunk);

    // Text held back waiting for its carriage return.
    const std::string& Pending() const { return pending; }

private:
    std::string pending;
    bool overflowed = false;
};
