#include "records/AtomicFile.h"

#include <string>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace {

// A failed write (full disk, unwritable place) leaves the file as it was and no temporary one.
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
    WriteText(dir / "file", "x");
    for (const std::string& bad :
         {std::string(), dir / "absent/a.txt", dir / "file/a.txt", dir.Path()}) {
        EXPECT_FALSE(CAtomicFile::Write(bad, "data")) << bad;
    }
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.txt", "file"}));
}

} // namespace
