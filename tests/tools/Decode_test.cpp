#include "device/ChildProcess.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

struct Decoded {
    int status;
    std::string out, err;
};

// hx410-decode with `args`, given `input` on its standard input.
Decoded Decode(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), HX410_DECODE_PATH);
    CChildProcess decoder(args, ChildOptions{{}, true, false});
    if (!input.empty()) {
        decoder.Send(input);
    }
    const int status = decoder.Finish();
    return {status, decoder.Out(), decoder.Err()};
}

// Every capture decodes to its expected record whatever the piece size: only the piece
// count differs, and it is the body's size in pieces.
TEST(Decode, CapturesMatchTheirExpectedDecodeAtEveryPieceSize) {
    std::vector<fs::path> captures;
    for (const auto& entry : fs::directory_iterator(HX410_TEST_DATA_DIR)) {
        if (entry.path().extension() == ".cap") {
            captures.push_back(entry.path());
        }
    }
    ASSERT_GE(captures.size(), 4U);
    for (const fs::path& capture : captures) {
        SCOPED_TRACE(capture.filename().string());
        const auto expected = Lines(ReadText(fs::path(capture).replace_extension(".chk")));
        ASSERT_GE(expected.size(), 2U) << "run scripts/regen-checks";
        const std::string bytes = ReadText(capture);
        std::size_t body = 0;
        while (body < bytes.size() && bytes[body] == '#') {
            body = bytes.find('\n', body) + 1;
        }
        for (std::size_t chunk : {1, 7, 1023}) {
            const Decoded run = Decode({"--comments", "--chunk", std::to_string(chunk), capture});
            ASSERT_EQ(run.status, 0) << chunk;
            auto actual = Lines(run.out);
            ASSERT_EQ(actual.size(), expected.size()) << chunk;
            const std::size_t pieces = (bytes.size() - body + chunk - 1) / chunk;
            EXPECT_EQ(actual[actual.size() - 2], "Chunks=" + std::to_string(pieces)) << chunk;
            if (chunk != 1023) { // the recognised count may differ, and so the piece count
                actual.resize(actual.size() - 2);
                EXPECT_TRUE(std::equal(actual.begin(), actual.end(), expected.begin())) << chunk;
            } else {
                EXPECT_EQ(actual, expected);
            }
        }
    }
}

// Standard input gives the file's record; unreadable input or bad arguments exit with 2.
TEST(Decode, StandardInputGivesTheFilesRecordAndBadInputExitsWithTwo) {
    const std::string capture = fs::path(HX410_TEST_DATA_DIR) / "page-f-identity.cap";
    const std::string fromFile = Decode({"--comments", capture}).out;
    EXPECT_EQ(Decode({"--comments"}, ReadText(capture)).out, fromFile);
    EXPECT_EQ(Decode({"--comments", "-"}, ReadText(capture)).out, fromFile);
    const Decoded empty = Decode({"/dev/null"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(Lines(empty.out).back(), "RecognisedChunks=0");

    const std::string missing = fs::temp_directory_path() / "hx410-no-such-capture.cap";
    for (const auto& args : std::vector<std::vector<std::string>>{{missing},
                                                                  {HX410_TEST_DATA_DIR},
                                                                  {"--chunk", "0", "/dev/null"},
                                                                  {"--chunk", "x", "/dev/null"},
                                                                  {"--bogus"}}) {
        const Decoded run = Decode(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
    }
    EXPECT_NE(Decode({missing}).err.find("cannot read"), std::string::npos);
}

} // namespace
