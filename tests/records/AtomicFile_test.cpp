#include "records/AtomicFile.h"

#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "records/FileNames.h"

namespace {

// Limits the size of any file this process writes, as a full disk would; restored on exit.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = bytes;
        active = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;
    ~CFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    bool Active() const { return active; }

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
    bool active = false;
};

TEST(AtomicFileTest, ReplacesTheWholeFile) {
    CTempDir dir;
    const std::string path = dir / "a.txt";
    WriteText(path, "an older and much longer content\n");
    ASSERT_TRUE(CAtomicFile::Write(path, "new\n"));
    EXPECT_EQ(ReadText(path), "new\n");
    ASSERT_TRUE(CAtomicFile::Write(path, ""));
    EXPECT_EQ(ReadText(path), "");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a.txt"});
}

TEST(AtomicFileTest, FullDiskKeepsTheOldFileAndLeavesNoTemporary) {
    CTempDir dir;
    const std::string path = dir / "a.txt";
    WriteText(path, "old\n");
    const std::string big(4096, 'x');
    bool written = true;
    {
        const CFileSizeLimit limit(100);
        ASSERT_TRUE(limit.Active());
        written = CAtomicFile::Write(path, big);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadText(path), "old\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a.txt"});
}

TEST(AtomicFileTest, UnwritablePlacesFail) {
    CTempDir dir;
    WriteText(dir / "file", "x");
    const std::string cases[] = {"", dir / "absent/a.txt", dir / "file/a.txt", dir.Path()};
    for (const std::string& path : cases) {
        EXPECT_FALSE(CAtomicFile::Write(path, "data")) << path;
    }
    EXPECT_EQ(dir.Names(), std::set<std::string>{"file"});
}

TEST(FileNamesTest, JoinAndSafeNames) {
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/", "b"), "/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(SafeFileNamePart("AB-12 x.y"), "AB-12 x.y");
    EXPECT_EQ(SafeFileNamePart(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(SafeFileNamePart("/\\\t~\x7F\xFF"), "___~__");
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
    for (int i = 0; i < depth; ++i) {
        if (::chdir("..") != 0 || ::rmdir(part.c_str()) != 0) {
            break;
        }
    }
    ASSERT_EQ(::chdir(previous.c_str()), 0);
    EXPECT_EQ(depth, 25);
    EXPECT_EQ(current.size(), dir.Path().size() + 25 * (part.size() + 1));
    EXPECT_EQ(current.substr(0, dir.Path().size()), dir.Path());
}

} // namespace
