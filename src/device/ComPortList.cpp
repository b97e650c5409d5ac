#include "device/ComPortList.h"

#include "device/ConfigDirectory.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct KernelFamily {
    const char* prefix;
    int firstNumber;
    bool needsDriverCheck;
};

// Default numbers of the kernel's serial devices.
constexpr KernelFamily kKernelFamilies[] = {
    {"ttyS", 1, true},
    {"ttyUSB", 33, false},
    {"ttyACM", 65, false},
};
constexpr int kDevicesPerFamily = 32;

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// The 8250 driver creates ttyS nodes for every possible port; only those whose probe
// found a UART have a port type other than 0 (unknown).
bool DriverBacks(const fs::path& sysEntry) {
    if (!Exists(sysEntry / "device")) {
        return false;
    }
    std::ifstream typeFile(sysEntry / "type");
    int type = -1;
    if (typeFile >> type) {
        return type != 0;
    }
    return true;
}

// "COM<n>" with n in 1..255 written without leading zeros; 0 otherwise.
int ComNumberOf(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0 || name[3] == '0') {
        return 0;
    }
    int number = 0;
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || number < kMinComPort || number > kMaxComPort) {
        return 0;
    }
    return number;
}

} // namespace

ComPortPlaces ComPortPlaces::Default() {
    ComPortPlaces places;
    if (const ConfigDirectory directory = ConfigDirectory::Find(); !directory.path.empty()) {
        places.portsDir = directory.path + "/ports";
    }
    return places;
}

std::map<int, std::string> ComPortMap(const ComPortPlaces& places) {
    std::map<int, std::string> ports;
    for (const KernelFamily& family : kKernelFamilies) {
        for (int k = 0; k < kDevicesPerFamily; ++k) {
            const std::string name = family.prefix + std::to_string(k);
            const fs::path node = fs::path(places.devRoot) / name;
            if (!Exists(node)) {
                continue;
            }
            if (family.needsDriverCheck && !DriverBacks(fs::path(places.sysTtyRoot) / name)) {
                continue;
            }
            ports[family.firstNumber + k] = node.string();
        }
    }
    if (places.portsDir.empty()) {
        return ports;
    }
    std::error_code error;
    for (fs::directory_iterator it(places.portsDir, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (const int number = ComNumberOf(name); number != 0) {
            ports[number] = it->path().string(); // a link wins over a kernel default
        }
    }
    return ports;
}

std::string DevicePathOfPort(const ComPortPlaces& places, int number) {
    if (number < kMinComPort || number > kMaxComPort) {
        return {};
    }
    const auto ports = ComPortMap(places);
    const auto it = ports.find(number);
    return it == ports.end() ? std::string() : it->second;
}

int ProbeComPort(const std::string& devicePath) {
    const int handle = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        return errno;
    }
    // Only a terminal can be a serial port (a link to /dev/null or a file is not one).
    // Then the same lock and exclusive mode the port takes when it opens, released at
    // once; TIOCEXCL is set only once the lock is ours and may fail on a pseudo-terminal.
    int status = 0;
    termios settings{};
    int exclusive = 0;
    if (::tcgetattr(handle, &settings) != 0) {
        status = errno;
    } else if (::ioctl(handle, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        status = EBUSY; // another program holds it in exclusive mode (root gets this far)
    } else if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        status = errno == EWOULDBLOCK ? EBUSY : errno;
    } else if (::ioctl(handle, TIOCEXCL) != 0 && errno != EINVAL && errno != ENOTTY) {
        status = errno;
    } else {
        ::ioctl(handle, TIOCNXCL);
    }
    ::close(handle);
    return status;
}

std::vector<ComPortCandidate> ProbeComPorts(const ComPortPlaces& places,
                                            const ComPortProbe& probe) {
    std::vector<ComPortCandidate> candidates;
    for (const auto& [number, path] : ComPortMap(places)) {
        std::error_code error;
        const fs::path device = fs::canonical(path, error);
        candidates.push_back({number, path, error ? path : device.string(),
                              probe ? probe(path) : ProbeComPort(path)});
    }
    return candidates;
}

ComPortScan ScanComPorts(const ComPortPlaces& places, const ComPortProbe& probe) {
    ComPortScan scan;
    for (const ComPortCandidate& candidate : ProbeComPorts(places, probe)) {
        if (candidate.Usable()) {
            scan.ports.push_back(candidate.number);
        } else if (candidate.NoPermission()) {
            scan.noPermission.push_back(candidate.device);
        }
    }
    return scan;
}

std::vector<int> ListComPorts(const ComPortPlaces& places) {
    return ScanComPorts(places).ports;
}

std::string NoPermissionHint(const std::vector<std::string>& devices) {
    if (devices.empty()) {
        return {};
    }
    std::string list;
    for (const std::string& device : devices) {
        list += (list.empty() ? "" : ", ") + device;
    }
    return "Serial device " + list + (devices.size() == 1 ? " exists" : " exist") +
           " but you may not open " + (devices.size() == 1 ? "it" : "them") +
           ". Add your user to the 'dialout' group (sudo usermod -aG dialout $USER), then log "
           "out and in again.";
}
