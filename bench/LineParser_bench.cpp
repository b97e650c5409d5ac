// Throughput of the line parser on a realistic maintenance-port stream: screens painted
// with cursor sequences holding every keyword, fed in the port's 1023-byte reads.
// Reports bytes per second and the ratio to the port's line rate (38400 baud 8N1,
// 3840 bytes per second) as the counter x_line_rate.

#include <iomanip>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "device/AhrsState.h"
#include "device/LineParser.h"

namespace {

constexpr double kLineRateBytesPerSecond = 3840.0;
constexpr std::size_t kReadSize = 1023;

std::string Field(int row, int col, const std::string& text) {
    return "\x1b[" + std::to_string(row) + ";" + std::to_string(col) + "H" + text;
}

std::string Screen(int i) {
    const std::string n = std::to_string(i % 360);
    std::string s = "\x1b[2J";
    s += Field(1, 1, "Av 1.52") + Field(1, 30, "Mv 2.07") + Field(2, 1, "sn 40123") +
         Field(2, 30, "Sn 77001") + Field(3, 1, "AN 1") + Field(3, 30, "ASF XXN 0.99871") +
         Field(4, 1, "GSF ZZP 1.00042") + Field(4, 30, "XX3P 1.002") + Field(5, 1, "YY12N 0.998") +
         Field(5, 30, "ZZ7P 1.0005") + Field(6, 1, "X ACCEL  0.0123") +
         Field(6, 30, "Y GYRO  -0.02") + Field(6, 60, "Z BIAS   0.0002") +
         Field(7, 1, "X AVG    1234") + Field(7, 30, "Y AVG    -410") +
         Field(7, 60, "Z AVG    5020") + Field(8, 1, "OutHdg   " + n + ".25") +
         Field(8, 30, "Mag Avg  " + n + ".50") + Field(8, 60, "Mag Raw  " + n + ".75") +
         Field(9, 1, "MagCorr  " + n + ".00") + Field(9, 30, "MAG XL   -35") +
         Field(9, 60, "MAG YL   812") + Field(10, 1, "MFC X -112") + Field(10, 20, "MFC Y 37") +
         Field(10, 40, "MFC Z -5") + Field(11, 1, "ROLL    -1.25") +
         Field(11, 30, "PITCH    0.50") + Field(12, 1, "BLK 3 117.25") +
         Field(12, 30, "STAT     00CF") + Field(13, 1, "MCC N 1.25") +
         Field(13, 20, "MCC S -0.50") + Field(13, 40, "MCC E 0.75") + Field(13, 60, "MCC W -1.00") +
         Field(14, 1, "MNT      9") + Field(14, 30, "Magvar  -3.25") + Field(15, 1, "10:22:05") +
         Field(15, 30, "Lat  45.500000") + Field(16, 1, "A429 1") + Field(16, 30, "ARINC 1") +
         Field(17, 1, "1234 -410 5020") + Field(18, 1, "++ MCC ERASE ++") +
         Field(19, 1, "++ MCC STORE ++") + "\x1b[24;1H";
    return s;
}

std::string Stream() {
    std::string stream;
    for (int i = 0; stream.size() < 256 * 1024; ++i) {
        stream += Screen(i);
    }
    return stream;
}

void BM_LineParser(benchmark::State& benchState) {
    const std::string stream = Stream();
    CAhrsState record;
    CLineParser parser(record);
    for (auto _ : benchState) {
        for (std::size_t offset = 0; offset < stream.size(); offset += kReadSize) {
            benchmark::DoNotOptimize(
                parser.ProcessChunk(std::string_view(stream).substr(offset, kReadSize)));
        }
    }
    const double bytes = static_cast<double>(stream.size()) * benchState.iterations();
    benchState.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    benchState.counters["x_line_rate"] =
        benchmark::Counter(bytes / kLineRateBytesPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LineParser)->Unit(benchmark::kMillisecond);

// The console table prints the ratio as a rate ("k/s"); say it plainly as well.
class LineRateReporter : public benchmark::ConsoleReporter {
public:
    LineRateReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto ratio = run.counters.find("x_line_rate");
            if (ratio != run.counters.end()) {
                GetOutputStream() << run.benchmark_name() << ": " << std::fixed
                                  << std::setprecision(0) << ratio->second.value
                                  << " times the line rate (3840 bytes/s)\n";
            }
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    LineRateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
