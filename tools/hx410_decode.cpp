// hx410-decode: replays raw maintenance-port bytes through the line parser and prints
// the record they produce, so a capture sent in by a shop can be read offline.
//
//   hx410-decode [--chunk N] [--comments] [FILE]
//   hx410-decode --list | --port N [--seconds S] [--send TEXT]... [--capture FILE]
//                                                                    (see LiveMonitor.h)
//   hx410-decode --help | --version
//
// FILE (or standard input when absent or "-") is fed in pieces of N bytes (default
// 1023, the port's read size), each piece up to its first NUL as the port passes it.
// --comments skips leading lines that begin with '#' (the header of a test capture).
// Exit status: 0 after printing, 2 for bad arguments or a file that cannot be read.

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "LiveMonitor.h"
#include "RecordPrinter.h"
#include "device/AhrsState.h"
#include "device/LineParser.h"
#include "device/ValueReader.h"

namespace {

constexpr int kExitUsage = 2;
constexpr std::int64_t kMaxChunk = 1 << 20;

struct DecodeOptions {
    std::size_t chunkSize = 1023;
    bool skipComments = false;
    std::string path; // empty: standard input
};

void PrintUsage(std::ostream& out) {
    out << "usage: hx410-decode [--chunk N] [--comments] [FILE]\n"
           "       hx410-decode --list | --port N [--seconds S] [--send TEXT]... [--capture "
           "FILE]\n";
}

std::optional<DecodeOptions> ParseArguments(int argc, char** argv) {
    DecodeOptions options;
    bool havePath = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--chunk" && i + 1 < argc) {
            const std::string text = argv[++i];
            const auto size = ReadInteger(text, 1, kMaxChunk);
            if (!size || text.find_first_not_of("0123456789") != std::string::npos) {
                std::cerr << "hx410-decode: --chunk needs a whole number from 1 to " << kMaxChunk
                          << '\n';
                return std::nullopt;
            }
            options.chunkSize = static_cast<std::size_t>(*size);
        } else if (argument == "--comments") {
            options.skipComments = true;
        } else if (!havePath && (argument == "-" || argument.rfind("--", 0) != 0)) {
            options.path = argument == "-" ? std::string() : argument;
            havePath = true;
        } else {
            std::cerr << "hx410-decode: unexpected argument '" << argument << "'\n";
            return std::nullopt;
        }
    }
    return options;
}

void SkipCommentLines(std::istream& in) {
    while (in.peek() == '#') {
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
}

// Decodes one capture and prints the record; 0 on success, 2 when the input cannot be
// read.
int RunFileMode(const DecodeOptions& options) {
    std::ifstream file;
    const std::string name = options.path.empty() ? "standard input" : options.path;
    if (!options.path.empty()) {
        std::error_code error;
        if (std::filesystem::is_directory(options.path, error)) {
            std::cerr << "hx410-decode: cannot read " << name << ": it is a directory\n";
            return kExitUsage;
        }
        file.open(options.path, std::ios::binary);
        if (!file) {
            std::cerr << "hx410-decode: cannot read " << name << ": " << std::strerror(errno)
                      << '\n';
            return kExitUsage;
        }
    }
    std::istream& in = options.path.empty() ? std::cin : file;
    if (options.skipComments) {
        SkipCommentLines(in);
    }

    CAhrsState state;
    CLineParser parser(state);
    std::vector<char> buffer(options.chunkSize);
    unsigned long chunks = 0;
    unsigned long recognised = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto count = static_cast<std::size_t>(in.gcount());
        if (count == 0) {
            break;
        }
        std::string_view piece(buffer.data(), count);
        piece = piece.substr(0, piece.find('\0'));
        ++chunks;
        if (parser.ProcessChunk(piece)) {
            ++recognised;
        }
    }
    if (in.bad()) {
        std::cerr << "hx410-decode: error reading " << name << '\n';
        return kExitUsage;
    }

    PrintRecord(std::cout, state);
    PrintAckCounts(std::cout, parser);
    std::cout << "Chunks=" << chunks << '\n' << "RecognisedChunks=" << recognised << '\n';
    std::cout.flush();
    return std::cout ? 0 : kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(std::cout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "hx410-decode " HX410_VERSION "\n";
        return 0;
    }
    if (CLiveMonitor::IsLiveCommand(argc, argv)) {
        return CLiveMonitor::Main(argc, argv);
    }
    const auto options = ParseArguments(argc, argv);
    if (!options) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    return RunFileMode(*options);
}
