#pragma once

#include <string>
#include <string_view>

// Replaces a whole file at once: the contents go to a new temporary file in the same
// directory, which is flushed to disk and then renamed over the target. A crash or a full
// disk therefore never leaves a half-written file and never destroys the previous one.
class CAtomicFile {
public:
    // True only when every byte was written and the file is in place; on failure the
    // previous file (if any) is untouched, no temporary file is left behind and errno says
    // why.
    static bool Write(const std::string& path, std::string_view contents);
};
