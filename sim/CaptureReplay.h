#pragma once

#include <string>
#include <string_view>

// A recorded capture played back as the unit's output instead of the model: the raw
// maintenance-port bytes of a file written by `hx410-decode --capture` (or any file of
// port bytes), without the '#' lines that open it. Each Restart makes one pass due from
// the first byte; in a loop the next pass is due as soon as one has been taken.
class CCaptureReplay {
public:
    // Reads the capture; returns an empty string on success, else the reason.
    std::string Load(const std::string& path);

    void SetLoop(bool on) { loop = on; }
    void Restart() { due = true; }
    // The whole capture when a pass is due (which it takes), else nothing.
    std::string_view TakePass();

private:
    std::string bytes;
    bool loop = false;
    bool due = false;
};
