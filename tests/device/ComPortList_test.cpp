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
    void Touch(const fs::path& path, const std::string& text = {}) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    void Link(const std::string& name, const fs::path& target) {
        fs::create_directories(ports);
        fs::create_symlink(target, ports / name);
    }

    CTempDir dir;
    const fs::path dev = dir / "dev", sys = dir / "sys", ports = dir / "ports";
    const ComPortPlaces places{ports, dev, sys};
};

TEST_F(ComPortList, KernelDevicesTakeTheirDefaultNumbersAndALinkWins) {
    for (const char* name :
         {"ttyS0", "ttyS1", "ttyS4", "ttyUSB2", "ttyUSB31", "ttyUSB32", "ttyACM0", "ttyACM31"}) {
        Touch(dev / name);
    }
    Touch(sys / "ttyS0" / "device" / "x");
    Touch(sys / "ttyS0" / "type", "4\n");
    Touch(sys / "ttyS1" / "device" / "x"); // registered, but no UART found
    Touch(sys / "ttyS1" / "type", "0\n");
    // ttyS4 has no sysfs entry: no driver backs it
    for (const char* name :
         {"COM35", "COM255", "COM0", "COM256", "COM07", "COMx", "COM3.txt", "com4", "COM"}) {
        Link(name, "/dev/null"); // only the first two are names of ports
    }
    const std::map<int, std::string> expected = {
        {1, dev / "ttyS0"},    {35, ports / "COM35"},  {64, dev / "ttyUSB31"},
        {65, dev / "ttyACM0"}, {96, dev / "ttyACM31"}, {255, ports / "COM255"},
    };
    EXPECT_EQ(ComPortMap(places), expected);
    EXPECT_EQ(DevicePathOfPort(places, 35), ports / "COM35");
    for (int number : {0, 2, 34, 256, -1}) {
        EXPECT_EQ(DevicePathOfPort(places, number), "") << number;
    }
}

TEST_F(ComPortList, OnlyPortsThatOpenAreListedAndTheOthersSayWhy) {
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) {
        Touch(dev / name);
    }
    const auto probe = [&](const std::string& path) {
        return path == dev / "ttyUSB0" ? EACCES : path == dev / "ttyACM0" ? EBUSY : 0;
    };
    const ComPortScan scan = ScanComPorts(places, probe);
    EXPECT_EQ(scan.ports, std::vector<int>{34});
    EXPECT_EQ(scan.noPermission, std::vector<std::string>{dev / "ttyUSB0"});
    EXPECT_EQ(NoPermissionHint({}), "");
    EXPECT_NE(NoPermissionHint(scan.noPermission).find("dialout"), std::string::npos);

    fs::remove_all(dev);
    CPtyPeer free, held;
    ASSERT_TRUE(free.Ok() && held.Ok());
    CSerialPort holder;
    ASSERT_EQ(holder.OpenDevice(held.SlavePath(), false), 0);
    Touch(dir / "file.cap");
    const struct {
        std::string target;
        std::string device;
        int status;
    } expected[] = {{"/dev/null", "/dev/null", ENOTTY},
                    {dir / "file.cap", fs::canonical(dir / "file.cap"), ENOTTY},
                    {free.SlavePath(), free.SlavePath(), 0},
                    {held.SlavePath(), held.SlavePath(), EBUSY},
                    {dir / "nothing", ports / "COM6", ENOENT}};
    for (int number = 2; number <= 6; ++number) {
        Link("COM" + std::to_string(number), expected[number - 2].target);
    }
    EXPECT_EQ(ListComPorts(places), std::vector<int>{4});
    const std::vector<ComPortCandidate> candidates = ProbeComPorts(places);
    ASSERT_EQ(candidates.size(), std::size(expected));
    for (int number = 2; number <= 6; ++number) {
        SCOPED_TRACE(number);
        const ComPortCandidate& candidate = candidates[number - 2];
        EXPECT_EQ(candidate.number, number);
        EXPECT_EQ(candidate.device, expected[number - 2].device);
        EXPECT_EQ(candidate.status, expected[number - 2].status);
    }
}

} // namespace
