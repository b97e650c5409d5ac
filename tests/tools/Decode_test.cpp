#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string output;
};

RunResult RunDecode(const std::string& arguments) {
    RunResult result;
    const std::string command = std::string("'") + HX410_DECODE_PATH + "' " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, count);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool IsChunkCount(const std::string& line) {
    return line.rfind("Chunks=", 0) == 0 || line.rfind("RecognisedChunks=", 0) == 0;
}

std::vector<std::string> WithoutChunkCounts(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (!IsChunkCount(line)) {
            kept.push_back(line);
        }
    }
    return kept;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<fs::path> Captures() {
    std::vector<fs::path> captures;
    for (const auto& entry : fs::directory_iterator(HX410_TEST_DATA_DIR)) {
        if (entry.path().extension() == ".cap") {
            captures.push_back(entry.path());
        }
    }
    std::sort(captures.begin(), captures.end());
    return captures;
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Every capture decodes to its expected record whatever the piece size; at the default
// size the whole output, chunk counts included, is the expected one.
TEST(Decode, CapturesMatchTheirExpectedDecodeAtEveryPieceSize) {
    const auto captures = Captures();
    ASSERT_GE(captures.size(), 4U);
    for (const fs::path& capture : captures) {
        SCOPED_TRACE(capture.filename().string());
        fs::path check = capture;
        check.replace_extension(".chk");
        ASSERT_TRUE(fs::exists(check)) << "run scripts/regen-checks";
        const auto expected = Lines(ReadFile(check));
        for (int chunk : {1, 7, 1023}) {
            const RunResult run =
                RunDecode("--comments --chunk " + std::to_string(chunk) + " " + Quoted(capture));
            ASSERT_EQ(run.status, 0) << chunk;
            const auto actual = Lines(run.output);
            if (chunk == 1023) {
                EXPECT_EQ(actual, expected);
            } else {
                EXPECT_EQ(WithoutChunkCounts(actual), WithoutChunkCounts(expected)) << chunk;
            }
        }
    }
}

TEST(Decode, CountsEveryPieceFed) {
    const fs::path capture = fs::path(HX410_TEST_DATA_DIR) / "page-c-live.cap";
    const std::string bytes = ReadFile(capture);
    std::size_t body = 0;
    while (body < bytes.size() && bytes[body] == '#') {
        body = bytes.find('\n', body) + 1;
    }
    const std::size_t size = bytes.size() - body;
    const RunResult run = RunDecode("--comments --chunk 7 " + Quoted(capture));
    const auto lines = Lines(run.output);
    ASSERT_GE(lines.size(), 2U);
    EXPECT_EQ(lines[lines.size() - 2], "Chunks=" + std::to_string((size + 6) / 7));
    EXPECT_EQ(lines.back().rfind("RecognisedChunks=", 0), 0U);
}

TEST(Decode, StandardInputGivesTheSameRecordAsTheFile) {
    const fs::path capture = fs::path(HX410_TEST_DATA_DIR) / "page-f-identity.cap";
    const RunResult fromFile = RunDecode("--comments " + Quoted(capture));
    const RunResult fromInput = RunDecode("--comments < " + Quoted(capture));
    const RunResult fromDash = RunDecode("--comments - < " + Quoted(capture));
    EXPECT_EQ(fromInput.status, 0);
    EXPECT_EQ(fromInput.output, fromFile.output);
    EXPECT_EQ(fromDash.output, fromFile.output);
}

TEST(Decode, TextFieldsAreEscaped) {
    const RunResult run =
        RunDecode("--comments " + Quoted(fs::path(HX410_TEST_DATA_DIR) / "garbled.cap"));
    EXPECT_NE(run.output.find("AhrsVersion=1.52\\\\b\\xB0\n"), std::string::npos);
}

TEST(Decode, UnreadableInputOrBadArgumentsExitWithTwo) {
    const std::string missing = Quoted(fs::temp_directory_path() / "hx410-no-such-capture.cap");
    for (const std::string& arguments :
         {missing, Quoted(HX410_TEST_DATA_DIR), std::string("--chunk 0 /dev/null"),
          std::string("--chunk x /dev/null"), std::string("--bogus")}) {
        const RunResult run = RunDecode(arguments + " 2>/dev/null");
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.output, "") << arguments;
    }
    const RunResult message = RunDecode(missing + " 2>&1");
    EXPECT_NE(message.output.find("cannot read"), std::string::npos);
}

TEST(Decode, EmptyInputPrintsTheFreshRecord) {
    const RunResult run = RunDecode("/dev/null");
    EXPECT_EQ(run.status, 0);
    const auto lines = Lines(run.output);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "AhrsVersion=");
    EXPECT_NE(run.output.find("\nArincOutput=-1\n"), std::string::npos);
    EXPECT_NE(run.output.find("\nPendingAction=-1\n"), std::string::npos);
    EXPECT_EQ(lines.back(), "RecognisedChunks=0");
}

} // namespace
