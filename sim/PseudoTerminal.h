#pragma once

#include "sim/UniqueFd.h"

#include <string>
#include <string_view>

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

    // Packet mode on the master: a read then also reports, as a status byte of its own,
    // that the client cleared the bytes it had not read, which a program opening the
    // port as its serial port does (the wizard and hx410-decode do). Returns false when
    // the mode cannot be set.
    bool ReportClears();
    // Whether bytes read from the master in packet mode report such a clear.
    static bool IsClearReport(std::string_view packet);

private:
    CUniqueFd master;
    CUniqueFd slave;
    std::string slavePath;
};
