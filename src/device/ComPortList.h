#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Serial ports by the numbers a technician knows ("COM3"). A number names a device node
// through, first, a link COM<n> in the ports directory (a USB adapter, the simulator's
// pseudo-terminal), else the kernel's serial devices: ttyS<k> is COM k+1 (only when a
// driver backs it), ttyUSB<k> is COM k+33, ttyACM<k> is COM k+65, for k < 32. Numbers
// stay within 1..255 because the settings file keeps them in 8 bits.
struct ComPortPlaces {
    std::string portsDir;                      // COM<n> links
    std::string devRoot = "/dev";              // kernel device nodes
    std::string sysTtyRoot = "/sys/class/tty"; // tells which ttyS a driver backs

    // The ports directory in the configuration directory (see ConfigDirectory); without
    // one, only the kernel's devices are found.
    static ComPortPlaces Default();
};

constexpr int kMinComPort = 1;
constexpr int kMaxComPort = 255;

// Number -> device path for every port that the ports directory or the kernel names.
// The path of a link is the link itself, so it is followed at the moment of opening.
std::map<int, std::string> ComPortMap(const ComPortPlaces& places);

// The device path of port `number`, or an empty string when nothing names it.
std::string DevicePathOfPort(const ComPortPlaces& places, int number);

// Opens a terminal and locks it exclusively the way the port does, and releases it at
// once: 0 when the port is usable now, otherwise the errno (ENOTTY when it is not a
// terminal, EBUSY when held elsewhere, EACCES when the user may not open it).
int ProbeComPort(const std::string& devicePath);
using ComPortProbe = std::function<int(const std::string& devicePath)>;

// One port that something names, and what probing it found.
struct ComPortCandidate {
    int number = 0;
    std::string path;   // as ComPortMap gives it
    std::string device; // the device node behind it (a link followed), or `path`
    int status = 0;     // ProbeComPort's answer

    bool Usable() const { return status == 0; }
    bool Busy() const { return status == EBUSY; }
    bool NoPermission() const { return status == EACCES || status == EPERM; }
};

// Every port that the ports directory or the kernel names, ascending, each probed now.
std::vector<ComPortCandidate> ProbeComPorts(const ComPortPlaces& places,
                                            const ComPortProbe& probe = ProbeComPort);

struct ComPortScan {
    std::vector<int> ports;                // usable now, ascending
    std::vector<std::string> noPermission; // devices the user may not open, by port number
};

ComPortScan ScanComPorts(const ComPortPlaces& places, const ComPortProbe& probe = ProbeComPort);

// The usable port numbers, ascending.
std::vector<int> ListComPorts(const ComPortPlaces& places);

// The technician's explanation for ports that exist but may not be opened.
std::string NoPermissionHint(const std::vector<std::string>& devices);
