#include "device/ComPortList.h"
#include "device/PtyPeer.h"
#include "device/SerialPort.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class ComPortList : public ::testing::Test {
protected:
    ComPortList() {
        fs::create_directories(places.portsDir);
        fs::create_directories(places.devRoot);
    }
    void Touch(const fs::path& path, const std::string& text = {}) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    CTempDir dir;
    ComPortPlaces places{dir / "ports", dir / "dev", dir / "sys"};
};

TEST_F(ComPortList, KernelDevicesTakeTheirDefaultNumbersAndALinkWins) {
    const fs::path dev = places.devRoot, sys = places.sysTtyRoot, ports = places.portsDir;
    for (const char* name :
         {"ttyS0", "ttyS1", "ttyS4", "ttyUSB2", "ttyUSB31", "ttyUSB32", "ttyACM0", "ttyACM31"}) {
        Touch(dev / name);
    }
    Touch(sys / "ttyS0" / "device" / "x");
    Touch(sys / "ttyS0" / "type", "4\n");
    Touch(sys / "ttyS1" / "device" / "x"); // registered, but no UART found
    Touch(sys / "ttyS1" / "type", "0\n");
    // ttyS4 has no sysfs entry: no driver backs it
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

TEST_F(ComPortList, OnlyPortsThatOpenAreListedAndRefusedPermissionIsReported) {
    const fs::path dev = places.devRoot;
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) {
        Touch(dev / name);
    }
    const auto probe = [&](const std::string& path) {
        return path == (dev / "ttyUSB0").string()   ? EACCES
               : path == (dev / "ttyACM0").string() ? EBUSY
                                                    : 0;
    };
    const ComPortScan scan = ScanComPorts(places, probe);
    EXPECT_EQ(scan.ports, std::vector<int>{34});
    EXPECT_EQ(scan.noPermission, std::vector<std::string>{(dev / "ttyUSB0").string()});
    EXPECT_EQ(NoPermissionHint({}), "");
    EXPECT_NE(NoPermissionHint(scan.noPermission).find("dialout"), std::string::npos);
}

TEST_F(ComPortList, OnlyTerminalsThatCanBeHeldExclusivelyAreListed) {
    CPtyPeer free, held;
    ASSERT_TRUE(free.Ok() && held.Ok());
    CSerialPort holder;
    ASSERT_EQ(holder.OpenDevice(held.SlavePath(), false), 0);
    Touch(dir / "file.cap");
    const fs::path ports = places.portsDir;
    const std::pair<int, std::string> links[] = {
        {2, "/dev/null"}, {3, dir / "file.cap"}, {4, free.SlavePath()}, {5, held.SlavePath()}};
    for (const auto& [number, target] : links) {
        fs::create_symlink(target, ports / ("COM" + std::to_string(number)));
    }
    EXPECT_EQ(ListComPorts(places), std::vector<int>{4});

    // Each candidate with its state, so that a held port can be named as busy.
    fs::create_symlink(dir / "nothing", ports / "COM6");
    const struct {
        int number;
        std::string device;
        int status;
    } expected[] = {{2, "/dev/null", ENOTTY},
                    {3, fs::canonical(dir / "file.cap").string(), ENOTTY},
                    {4, free.SlavePath(), 0},
                    {5, held.SlavePath(), EBUSY},
                    {6, (ports / "COM6").string(), ENOENT}};
    const std::vector<ComPortCandidate> candidates = ProbeComPorts(places);
    ASSERT_EQ(candidates.size(), std::size(expected));
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        SCOPED_TRACE(expected[i].number);
        EXPECT_EQ(candidates[i].number, expected[i].number);
        EXPECT_EQ(candidates[i].path,
                  (ports / ("COM" + std::to_string(expected[i].number))).string());
        EXPECT_EQ(candidates[i].device, expected[i].device);
        EXPECT_EQ(candidates[i].status, expected[i].status);
        EXPECT_EQ(candidates[i].Busy(), expected[i].status == EBUSY);
    }
}

} // namespace
