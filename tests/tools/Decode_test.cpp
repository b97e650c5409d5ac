#include "device/ChildProcess.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

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
    CChildProcess decoder(args, ChildOptions{{}, true});
    decoder.Send(input);
    const int status = decoder.Finish();
    return {status, decoder.Out(), decoder.Err()};
}

// Every capture decodes to its expected record whatever the piece size: only the piece
// count differs (and with it the recognised count), and it is the body's size in pieces.
TEST(Decode, CapturesMatchTheirExpectedDecodeAtEveryPieceSize) {
    int captures = 0;
    for (const auto& entry : fs::directory_iterator(HX410_TEST_DATA_DIR)) {
        const fs::path capture = entry.path();
        if (capture.extension() != ".cap") {
            continue;
        }
        SCOPED_TRACE(capture.filename().string());
        ++captures;
        auto expected = Lines(ReadText(fs::path(capture).replace_extension(".chk")));
        ASSERT_GE(expected.size(), 2U) << "run scripts/regen-checks";
        std::string body = ReadText(capture);
        while (body.starts_with('#')) {
            body.erase(0, body.find('\n') + 1);
        }
        for (std::size_t chunk : {1023, 1}) {
            const Decoded run = Decode({"--comments", "--chunk", std::to_string(chunk), capture});
            ASSERT_EQ(run.status, 0) << chunk;
            const std::size_t pieces = (body.size() + chunk - 1) / chunk;
            expected.end()[-2] = "Chunks=" + std::to_string(pieces);
            auto actual = Lines(run.out);
            if (chunk == 1) {
                actual.back() = expected.back();
            }
            EXPECT_EQ(actual, expected) << chunk;
        }
    }
    EXPECT_GE(captures, 4);
}

// Standard input gives the file's record; unreadable input or bad arguments exit with 2.
TEST(Decode, StandardInputGivesTheFilesRecordAndBadInputExitsWithTwo) {
    const std::string capture = fs::path(HX410_TEST_DATA_DIR) / "page-f-identity.cap";
    EXPECT_EQ(Decode({"--comments", "-"}, ReadText(capture)).out,
              Decode({"--comments", capture}).out);
    const Decoded empty = Decode({"/dev/null"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(Lines(empty.out).back(), "RecognisedChunks=0");

    const std::string missing = fs::temp_directory_path() / "hx410-no-such-capture.cap";
    EXPECT_NE(Decode({missing}).err.find("cannot read"), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {missing}, {HX410_TEST_DATA_DIR}, {"--chunk", "0", "/dev/null"}, {"--bogus"}}) {
        const Decoded run = Decode(args);
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(2, "")) << args.back();
    }
}

} // namespace
