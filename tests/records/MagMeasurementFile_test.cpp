#include "records/MagMeasurementFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "records/FileNames.h"

namespace {

TEST(MagMeasurementFileTest, WriteGivesExactlyThreeLines) {
    CTempDir dir;
    const CMagMeasurementFile file("12345", dir.Path());
    EXPECT_EQ(file.Path(), dir / "mag_sn_12345.txt");
    ASSERT_TRUE(file.Write(-5, 0, 123));
    EXPECT_EQ(ReadText(file.Path()), "OUT_X: -5\nOUT_Y: 0\nOUT_Z: 123\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"mag_sn_12345.txt"});
    int16_t x = 0, y = 0, z = 0;
    ASSERT_TRUE(file.Read(x, y, z));
    EXPECT_EQ(x, -5);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(z, 123);
}

TEST(MagMeasurementFileTest, ReadingRule) {
    const struct {
        const char* text;
        bool ok;
        int16_t x, y, z;
    } cases[] = {
        {"OUT_X: 1\nOUT_Y: 2\nOUT_Z: 3\n", true, 1, 2, 3},
        {"OUT_X: 1\r\nOUT_Y: -2\r\nOUT_Z: 3\r\n", true, 1, -2, 3},
        {"A: 1\nB: 2\nC: 3", true, 1, 2, 3},
        {"OUT_Z: 3\nOUT_X: 1\nOUT_Y: 2\n", true, 3, 1, 2},
        {"k +7 k 8 k 9", true, 7, 8, 9},
        {"k 12abc 5 k 6", true, 12, 5, 6},
        {"k 0007 k -0 k 32767", true, 7, 0, 32767},
        {"\n\n\tk\t-32767\vk 2\fk 3\r", true, -32767, 2, 3},
        {"OUT_X: 1\nOUT_Y: 2\n", false, 0, 0, 0},
        {"OUT_X: 1\nOUT_Y: -32768\nOUT_Z: 3\n", false, 0, 0, 0},
        {"OUT_X: 32768\nOUT_Y: 2\nOUT_Z: 3\n", false, 0, 0, 0},
        {"OUT_X: 1\nOUT_Y: 2\nOUT_Z: -40000\n", false, 0, 0, 0},
        {"k 99999999999999999999999 k 1 k 2", false, 0, 0, 0},
        {"OUT_X: abc\nOUT_Y: 2\nOUT_Z: 3\n", false, 0, 0, 0},
        {"OUT_X:1\nOUT_Y:2\nOUT_Z:3\n", false, 0, 0, 0},
        {"k - k 1 k 2", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"\r\n\r\n", false, 0, 0, 0},
    };
    CTempDir dir;
    const CMagMeasurementFile file("1", dir.Path());
    for (const auto& c : cases) {
        WriteText(file.Path(), c.text);
        int16_t x = 11, y = 22, z = 33;
        EXPECT_EQ(file.Read(x, y, z), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(x, c.x) << c.text;
            EXPECT_EQ(y, c.y) << c.text;
            EXPECT_EQ(z, c.z) << c.text;
        } else {
            // A failed read leaves the outputs untouched.
            EXPECT_EQ(x, 11) << c.text;
            EXPECT_EQ(y, 22) << c.text;
            EXPECT_EQ(z, 33) << c.text;
        }
    }
}

TEST(MagMeasurementFileTest, NothingThatIsNotARegularFileIsReadOrHangs) {
    CTempDir dir;
    const CMagMeasurementFile missing("missing", dir.Path());
    int16_t x = 1, y = 2, z = 3;
    EXPECT_FALSE(missing.Exists());
    EXPECT_FALSE(missing.Read(x, y, z));

    const CMagMeasurementFile fifo("fifo", dir.Path());
    ASSERT_EQ(::mkfifo(fifo.Path().c_str(), 0600), 0);
    EXPECT_FALSE(fifo.Exists());
    EXPECT_FALSE(fifo.Read(x, y, z));

    const CMagMeasurementFile directory("dir", dir.Path());
    ASSERT_EQ(::mkdir(directory.Path().c_str(), 0700), 0);
    EXPECT_FALSE(directory.Exists());
    EXPECT_FALSE(directory.Read(x, y, z));
    EXPECT_EQ(x, 1);

    const CMagMeasurementFile present("present", dir.Path());
    ASSERT_TRUE(present.Write(1, 2, 3));
    EXPECT_TRUE(present.Exists());
}

TEST(MagMeasurementFileTest, SerialNumberNeverLeavesTheDirectory) {
    const struct {
        std::string serial;
        std::string fileName;
    } cases[] = {
        {"12345", "mag_sn_12345.txt"},   {"", "mag_sn_.txt"},
        {"../x", "mag_sn_.._x.txt"},     {"a/b\\c", "mag_sn_a_b_c.txt"},
        {"..", "mag_sn_...txt"},         {std::string("\x01\x7F\xC3\xA9\n", 5), "mag_sn______.txt"},
        {"SN 7-A", "mag_sn_SN 7-A.txt"},
    };
    CTempDir parent;
    const std::string inner = parent / "inner";
    ASSERT_EQ(::mkdir(inner.c_str(), 0700), 0);
    for (const auto& c : cases) {
        const CMagMeasurementFile file(c.serial, inner);
        EXPECT_EQ(file.Path(), inner + "/" + c.fileName);
        ASSERT_TRUE(file.Write(4, 5, 6)) << c.fileName;
        int16_t x = 0, y = 0, z = 0;
        EXPECT_TRUE(file.Read(x, y, z)) << c.fileName;
        EXPECT_EQ(z, 6);
        EXPECT_TRUE(file.Delete());
    }
    EXPECT_EQ(parent.Names(), std::set<std::string>{"inner"});
}

TEST(MagMeasurementFileTest, DefaultDirectoryIsTheCurrentOne) {
    CTempDir dir;
    const std::string previous = CurrentDirectory();
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    const CMagMeasurementFile file("9");
    const bool written = file.Write(1, 2, 3);
    const std::string current = CurrentDirectory();
    ASSERT_EQ(::chdir(previous.c_str()), 0);
    EXPECT_TRUE(written);
    EXPECT_EQ(file.Path(), current + "/mag_sn_9.txt");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"mag_sn_9.txt"});
}

TEST(MagMeasurementFileTest, ArchiveTakesTheFirstFreeNumber) {
    CTempDir dir;
    const CMagMeasurementFile file("77", dir.Path());
    ASSERT_TRUE(file.Write(1, 2, 3));
    WriteText(dir / "mag_sn_77_0.txt", "zero");
    WriteText(dir / "mag_sn_77_1.txt", "one");
    EXPECT_TRUE(file.Archive());
    EXPECT_EQ(dir.Names(),
              (std::set<std::string>{"mag_sn_77_0.txt", "mag_sn_77_1.txt", "mag_sn_77_2.txt"}));
    EXPECT_EQ(ReadText(dir / "mag_sn_77_2.txt"), "OUT_X: 1\nOUT_Y: 2\nOUT_Z: 3\n");
    EXPECT_EQ(ReadText(dir / "mag_sn_77_0.txt"), "zero");
    EXPECT_EQ(ReadText(dir / "mag_sn_77_1.txt"), "one");
    EXPECT_FALSE(file.Exists());
}

TEST(MagMeasurementFileTest, ArchiveNeverReplacesAnUnreadableArchive) {
    CTempDir dir;
    const CMagMeasurementFile file("5", dir.Path());
    ASSERT_TRUE(file.Write(1, 2, 3));
    WriteText(dir / "mag_sn_5_0.txt", "kept");
    ASSERT_EQ(::chmod((dir / "mag_sn_5_0.txt").c_str(), 0), 0);
    // A dangling link cannot be opened either, yet it names something.
    ASSERT_EQ(::symlink("nowhere", (dir / "mag_sn_5_1.txt").c_str()), 0);
    EXPECT_TRUE(file.Archive());
    ASSERT_EQ(::chmod((dir / "mag_sn_5_0.txt").c_str(), 0600), 0);
    EXPECT_EQ(ReadText(dir / "mag_sn_5_0.txt"), "kept");
    EXPECT_EQ(ReadText(dir / "mag_sn_5_2.txt"), "OUT_X: 1\nOUT_Y: 2\nOUT_Z: 3\n");
    std::error_code error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "mag_sn_5_1.txt", error));
}

TEST(MagMeasurementFileTest, ArchiveAndDeleteOfAMissingFileChangeNothing) {
    CTempDir dir;
    const CMagMeasurementFile file("3", dir.Path());
    EXPECT_FALSE(file.Archive());
    EXPECT_FALSE(file.Delete());
    EXPECT_TRUE(dir.Names().empty());
    ASSERT_TRUE(file.Write(1, 2, 3));
    EXPECT_TRUE(file.Delete());
    EXPECT_FALSE(file.Exists());
}

TEST(MagMeasurementFileTest, WriteIntoAMissingDirectoryFails) {
    CTempDir dir;
    const CMagMeasurementFile file("1", dir / "absent");
    EXPECT_FALSE(file.Write(1, 2, 3));
    EXPECT_TRUE(dir.Names().empty());
}

TEST(MagMeasurementFileTest, FailedWriteKeepsThePreviousMeasurement) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "a read-only directory does not stop root";
    }
    CTempDir dir;
    const CMagMeasurementFile file("1", dir.Path());
    ASSERT_TRUE(file.Write(10, 20, 30));
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);
    EXPECT_FALSE(file.Write(-1, -2, -3));
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0700), 0);
    int16_t x = 0, y = 0, z = 0;
    ASSERT_TRUE(file.Read(x, y, z));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"mag_sn_1.txt"});
}

} // namespace
