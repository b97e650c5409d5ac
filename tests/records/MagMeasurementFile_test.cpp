#include "records/MagMeasurementFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CaseTable.h"
#include "TempDir.h"
#include "records/FileNames.h"

namespace {

const char* const kThreeLines = "OUT_X: 1\nOUT_Y: 2\nOUT_Z: 3\n";

// Without a directory the file is written in the current one.
TEST(MagMeasurementFileTest, WriteGivesExactlyThreeLines) {
    CTempDir dir;
    const std::string previous = CurrentDirectory();
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    const CMagMeasurementFile file("12345");
    const bool written = file.Write(-5, 0, 123);
    const std::string current = CurrentDirectory();
    ASSERT_EQ(::chdir(previous.c_str()), 0);
    EXPECT_TRUE(written);
    EXPECT_EQ(file.Path(), current + "/mag_sn_12345.txt");
    EXPECT_EQ(ReadText(dir / "mag_sn_12345.txt"), "OUT_X: -5\nOUT_Y: 0\nOUT_Z: 123\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"mag_sn_12345.txt"});
}

TEST(MagMeasurementFileTest, ReadingRule) {
    CTempDir dir;
    const CMagMeasurementFile file("1", dir.Path());
    for (const auto& c : CaseTable("mag-measurement-reads.txt")) {
        WriteText(file.Path(), c[0]);
        int16_t x = 11, y = 22, z = 33;
        const bool read = file.Read(x, y, z);
        EXPECT_EQ((read ? "read " : "refused ") + std::to_string(x) + ' ' + std::to_string(y) +
                      ' ' + std::to_string(z),
                  c[1])
            << c[0];
    }
}

TEST(MagMeasurementFileTest, NothingThatIsNotARegularFileIsReadOrHangs) {
    CTempDir dir;
    const CMagMeasurementFile fifo("fifo", dir.Path()), directory("dir", dir.Path()),
        missing("missing", dir.Path());
    ASSERT_EQ(::mkfifo(fifo.Path().c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(directory.Path().c_str(), 0700), 0);
    for (const CMagMeasurementFile* file : {&fifo, &directory, &missing}) {
        int16_t x = 1, y = 2, z = 3;
        EXPECT_FALSE(file->Exists() || file->Read(x, y, z)) << file->Path();
    }
}

TEST(MagMeasurementFileTest, SerialNumberNeverLeavesTheDirectory) {
    CTempDir parent;
    const std::string inner = parent / "inner";
    ASSERT_EQ(::mkdir(inner.c_str(), 0700), 0);
    for (const auto& c : CaseTable("mag-measurement-names.txt")) {
        const CMagMeasurementFile file(c[0], inner);
        EXPECT_EQ(file.Path(), inner + "/" + c[1]);
        ASSERT_TRUE(file.Write(4, 5, 6)) << c[1];
        EXPECT_TRUE(file.Exists() && file.Delete()) << c[1];
    }
    // No serial number reported yet: no file of anybody's, not even "mag_sn_.txt".
    const CMagMeasurementFile none("", inner);
    WriteText(inner + "/mag_sn_.txt", "OUT_X: 1\nOUT_Y: 2\nOUT_Z: 3\n");
    int16_t x = 0, y = 0, z = 0;
    EXPECT_FALSE(none.Write(4, 5, 6) || none.Read(x, y, z) || none.Exists() || none.Archive() ||
                 none.Delete());
    EXPECT_EQ(ReadText(inner + "/mag_sn_.txt"), "OUT_X: 1\nOUT_Y: 2\nOUT_Z: 3\n");
    EXPECT_EQ(parent.Names(), std::set<std::string>{"inner"});
}

TEST(MagMeasurementFileTest, ArchiveTakesTheFirstNameThatIsFree) {
    CTempDir dir;
    const CMagMeasurementFile file("5", dir.Path());
    ASSERT_TRUE(file.Write(1, 2, 3));
    // Taken names: an unreadable archive and a dangling link, which still names something.
    WriteText(dir / "mag_sn_5_0.txt", "kept");
    ASSERT_EQ(::chmod((dir / "mag_sn_5_0.txt").c_str(), 0), 0);
    ASSERT_EQ(::symlink("nowhere", (dir / "mag_sn_5_1.txt").c_str()), 0);
    EXPECT_TRUE(file.Archive());
    EXPECT_FALSE(file.Exists());
    ASSERT_EQ(::chmod((dir / "mag_sn_5_0.txt").c_str(), 0600), 0);
    EXPECT_EQ(ReadText(dir / "mag_sn_5_0.txt"), "kept");
    EXPECT_EQ(ReadText(dir / "mag_sn_5_2.txt"), kThreeLines);
    EXPECT_EQ(dir.Names().size(), 3u); // the link too
}

} // namespace
