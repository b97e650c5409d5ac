#pragma once

#include "sim/UniqueFd.h"

#include <string>

// The unit's end of the serial cable: a pseudo-terminal whose slave side the program
// opens as its serial port. The master is non-blocking. A slave descriptor is kept open
// here so that the master sees no hang-up while no client is connected; closing both
// (Close) is what a pulled adapter looks like to a client: its reads fail or hang up.
class CPseudoTerminal {
public:
    // Returns an empty string on success, else what failed.
    std::string Open();
    void Close();

    bool IsOpen() const { return master.Valid(); }
    int MasterFd() const { return master.Get(); }
    const std::string& SlavePath() const { return slavePath; }

    // Drops what was written but never read by a client (nobody is listening).
    void DiscardUnread();

private:
    CUniqueFd master;
    CUniqueFd slave;
    std::string slavePath;
};
