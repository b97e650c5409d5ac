#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The identification file app_intro_info.txt in the current directory: the entries of the
// last run, one per line, in the order tail number, installer, shop name. Text is 8-bit
// (UTF-8 on Linux); limits count bytes but never cut a character in half.
class CIdentificationFile {
public:
    static constexpr std::size_t kEntryLimit = 127; // bytes kept of an entry
    static constexpr std::size_t kLineLimit = 255;  // bytes taken of a line read

    struct Entries {
        std::string tailNumber;
        std::string installer;
        std::string shopName;
    };

    // The file's path in the current working directory.
    static std::string Path();

    // Reads the three lines; missing lines give empty entries, a trailing CR (a file from
    // a Windows installation) is dropped, a line longer than kLineLimit keeps its start, and
    // control characters are left out. Bytes that are not UTF-8 (a file written in an 8-bit
    // code page) are kept as they are. False, with `entries` untouched, when the file cannot
    // be opened.
    static bool Read(const std::string& path, Entries& entries);

    // Replaces the file at once (written beside it, then renamed over it); each entry loses
    // its control characters and is limited to kEntryLimit bytes, so the file always holds
    // three lines. False when the file could not be written, with errno saying why.
    static bool Write(const std::string& path, const Entries& entries);

    // At most `limit` bytes of `text`, never ending inside a UTF-8 character.
    static std::string Limit(std::string_view text, std::size_t limit);
};
