#include "device/ComPortList.h"
#include "device/PtyPeer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class CTempDir {
public:
    CTempDir() {
        char pattern[] = "/tmp/hx410-ports-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) {
            path = pattern;
        }
    }
    ~CTempDir() {
        std::error_code error;
        fs::remove_all(path, error);
    }
    const fs::path& Path() const { return path; }

private:
    fs::path path;
};

void Touch(const fs::path& path, const std::string& text = {}) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

ComPortPlaces PlacesIn(const CTempDir& dir) {
    ComPortPlaces places;
    places.portsDir = (dir.Path() / "ports").string();
    places.devRoot = (dir.Path() / "dev").string();
    places.sysTtyRoot = (dir.Path() / "sys").string();
    fs::create_directories(places.portsDir);
    fs::create_directories(places.devRoot);
    return places;
}

TEST(ComPortList, KernelDevicesTakeTheirDefaultNumbersAndALinkWins) {
    CTempDir dir;
    const ComPortPlaces places = PlacesIn(dir);
    const fs::path dev = places.devRoot;
    const fs::path sys = places.sysTtyRoot;
    for (const char* name :
         {"ttyS0", "ttyS1", "ttyS4", "ttyUSB2", "ttyUSB31", "ttyUSB32", "ttyACM0", "ttyACM31"}) {
        Touch(dev / name);
    }
    Touch(sys / "ttyS0" / "device" / "x");
    Touch(sys / "ttyS0" / "type", "4\n");
    Touch(sys / "ttyS1" / "device" / "x"); // registered, but no UART found
    Touch(sys / "ttyS1" / "type", "0\n");
    // ttyS4 has no sysfs entry: no driver backs it
    const fs::path ports = places.portsDir;
    fs::create_symlink("/dev/null", ports / "COM35");
    fs::create_symlink("/dev/null", ports / "COM255");
    for (const char* ignored : {"COM0", "COM256", "COM07", "COMx", "COM3.txt", "com4", "COM"}) {
        fs::create_symlink("/dev/null", ports / ignored);
    }

    const std::map<int, std::string> expected = {
        {1, (dev / "ttyS0").string()},     {35, (ports / "COM35").string()},
        {64, (dev / "ttyUSB31").string()}, {65, (dev / "ttyACM0").string()},
        {96, (dev / "ttyACM31").string()}, {255, (ports / "COM255").string()},
    };
    EXPECT_EQ(ComPortMap(places), expected);
    EXPECT_EQ(DevicePathOfPort(places, 35), (ports / "COM35").string());
    for (int number : {0, 2, 34, 256, -1}) {
        EXPECT_EQ(DevicePathOfPort(places, number), "") << number;
    }
}

TEST(ComPortList, LinkedPortsAreListedAscendingAndOnlyWhenTheyOpen) {
    CTempDir dir;
    const ComPortPlaces places = PlacesIn(dir);
    CPtyPeer a, b, c;
    ASSERT_TRUE(a.Ok() && b.Ok() && c.Ok());
    const fs::path ports = places.portsDir;
    fs::create_symlink(a.SlavePath(), ports / "COM40");
    fs::create_symlink(b.SlavePath(), ports / "COM3");
    fs::create_symlink(c.SlavePath(), ports / "COM12");
    fs::create_symlink(dir.Path() / "gone", ports / "COM5"); // dangling: not offered

    EXPECT_EQ(ListComPorts(places), (std::vector<int>{3, 12, 40}));
    const ComPortScan scan = ScanComPorts(places);
    EXPECT_TRUE(scan.noPermission.empty());
}

TEST(ComPortList, APortHeldByAnotherProcessIsNotListed) {
    CTempDir dir;
    const ComPortPlaces places = PlacesIn(dir);
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    fs::create_symlink(peer.SlavePath(), fs::path(places.portsDir) / "COM7");
    ASSERT_EQ(ListComPorts(places), std::vector<int>{7});

    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only async-signal-safe calls here.
        ::close(release[1]);
        const int handle = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char status = handle >= 0 && ::flock(handle, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        [[maybe_unused]] ssize_t ignored = ::write(ready[1], &status, 1);
        char byte;
        ignored = ::read(release[0], &byte, 1);
        ::_exit(0);
    }
    char status = 0;
    ASSERT_EQ(::read(ready[0], &status, 1), 1);
    ASSERT_EQ(status, 'y');
    EXPECT_TRUE(ListComPorts(places).empty());
    EXPECT_EQ(ProbeComPort(peer.SlavePath()), EBUSY);

    ::close(release[1]);
    int childStatus = 0;
    ::waitpid(child, &childStatus, 0);
    EXPECT_EQ(ListComPorts(places), std::vector<int>{7});
    for (int fd : {ready[0], ready[1], release[0]}) {
        ::close(fd);
    }
}

TEST(ComPortList, DevicesTheUserMayNotOpenAreReportedNotListed) {
    CTempDir dir;
    const ComPortPlaces places = PlacesIn(dir);
    const fs::path dev = places.devRoot;
    Touch(dev / "ttyUSB0");
    Touch(dev / "ttyUSB1");
    Touch(dev / "ttyACM0");
    const auto probe = [&](const std::string& path) {
        if (path == (dev / "ttyUSB0").string()) {
            return EACCES;
        }
        if (path == (dev / "ttyACM0").string()) {
            return EBUSY;
        }
        return 0;
    };
    const ComPortScan scan = ScanComPorts(places, probe);
    EXPECT_EQ(scan.ports, std::vector<int>{34});
    EXPECT_EQ(scan.noPermission, std::vector<std::string>{(dev / "ttyUSB0").string()});

    const std::string hint = NoPermissionHint(scan.noPermission);
    EXPECT_NE(hint.find((dev / "ttyUSB0").string()), std::string::npos);
    EXPECT_NE(hint.find("dialout"), std::string::npos);
    EXPECT_EQ(NoPermissionHint({}), "");
}

// The real permission check, without an injected probe. Root may open anything, so as
// root the scan runs in a child that has dropped to an unprivileged user.
TEST(ComPortList, ARealDeviceWithoutPermissionIsReported) {
    CTempDir dir;
    const ComPortPlaces places = PlacesIn(dir);
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    fs::create_symlink(peer.SlavePath(), fs::path(places.portsDir) / "COM9");
    ASSERT_EQ(::chmod(peer.SlavePath().c_str(), 0), 0);
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(places.portsDir.c_str(), 0755);

    if (::geteuid() != 0) {
        const ComPortScan scan = ScanComPorts(places);
        EXPECT_TRUE(scan.ports.empty());
        EXPECT_EQ(scan.noPermission, std::vector<std::string>{peer.SlavePath()});
        return;
    }
    int result[2];
    ASSERT_EQ(::pipe(result), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(result[0]);
        const gid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
            ::_exit(2);
        }
        const ComPortScan scan = ScanComPorts(places);
        std::string report = std::to_string(scan.ports.size()) + "\n";
        for (const std::string& device : scan.noPermission) {
            report += device + "\n";
        }
        [[maybe_unused]] ssize_t ignored = ::write(result[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(result[1]);
    std::string report;
    char buffer[512];
    for (ssize_t got; (got = ::read(result[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(result[0]);
    int childStatus = 0;
    ::waitpid(child, &childStatus, 0);
    ASSERT_TRUE(WIFEXITED(childStatus));
    ASSERT_EQ(WEXITSTATUS(childStatus), 0) << "could not drop privileges";
    EXPECT_EQ(report, "0\n" + peer.SlavePath() + "\n");
}

TEST(ComPortList, DefaultPortsDirectoryFollowsTheConfigHome) {
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string savedConfig = oldConfig ? oldConfig : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";

    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(ComPortPlaces::Default().portsDir, "/cfg/hx410-install/ports");
    ::setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    ::setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(ComPortPlaces::Default().portsDir, "/home/tech/.config/hx410-install/ports");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ComPortPlaces::Default().portsDir, "/home/tech/.config/hx410-install/ports");
    EXPECT_EQ(ComPortPlaces::Default().devRoot, "/dev");

    oldConfig ? ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

} // namespace
