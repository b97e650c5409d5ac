#include "records/AtomicFile.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "records/FileNames.h"

namespace {

// A write replaces the whole file; one a full disk cuts short leaves the file as it was and
// no temporary file behind.
TEST(AtomicFileTest, ReplacesTheWholeFileOrNothing) {
    CTempDir dir;
    const std::string path = dir / "a.txt";
    WriteText(path, "an older and much longer content\n");
    ASSERT_TRUE(CAtomicFile::Write(path, "new\n"));
    EXPECT_EQ(ReadText(path), "new\n");
    bool written = true;
    {
        const CFileSizeLimit limit(100);
        ASSERT_TRUE(limit.Active());
        written = CAtomicFile::Write(path, std::string(4096, 'x'));
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadText(path), "new\n");
    ASSERT_TRUE(CAtomicFile::Write(path, ""));
    EXPECT_EQ(ReadText(path), "");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a.txt"});
}

TEST(AtomicFileTest, UnwritablePlacesFail) {
    CTempDir dir;
    WriteText(dir / "file", "x");
    for (const std::string& path :
         {std::string(), dir / "absent/a.txt", dir / "file/a.txt", dir.Path()}) {
        EXPECT_FALSE(CAtomicFile::Write(path, "data")) << path;
    }
    EXPECT_EQ(dir.Names(), std::set<std::string>{"file"});
}

TEST(FileNamesTest, CurrentDirectoryHasNoLengthLimit) {
    // Nested relative to each other so that no single call sees an over-long path.
    CTempDir dir;
    const std::string previous = CurrentDirectory();
    const std::string part(200, 'd');
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    int depth = 0;
    while (depth < 25 && ::mkdir(part.c_str(), 0700) == 0 && ::chdir(part.c_str()) == 0) {
        ++depth;
    }
    const std::string current = CurrentDirectory();
    for (int i = 0; i < depth && ::chdir("..") == 0 && ::rmdir(part.c_str()) == 0; ++i) {
    }
    ASSERT_EQ(::chdir(previous.c_str()), 0);
    EXPECT_EQ(depth, 25);
    EXPECT_EQ(current.size(), dir.Path().size() + 25 * (part.size() + 1));
    EXPECT_EQ(current.substr(0, dir.Path().size()), dir.Path());
}

} // namespace
