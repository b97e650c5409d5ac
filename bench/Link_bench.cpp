// The link's cost against hx410-sim over a real pseudo-terminal:
//   BM_LinkCpuAtLineRate  CPU time of this process (listener and parser; the UI loop
//                         idles) per second of link time while the unit streams page C
//                         at the real line rate. Counter cpu_per_link_s.
//   BM_LinkMemoryOverHour resident memory at link-up and after one hour of simulated
//                         time (simulator and link both accelerated). Counters
//                         rss_start_kb, rss_end_kb, heading_lines.
#include "device/AhrsLink.h"
#include "device/PlainUiThread.h"
#include "tests/device/SimPeer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atof(line.c_str() + 6);
        }
    }
    return 0;
}

// A simulator, a link on a caller-driven UI loop, both on one time scale.
class CBench {
public:
    explicit CBench(double scale) : timeBase(scale), ui(timeBase) {
        char pattern[] = "/tmp/hx410-bench-XXXXXX";
        root = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
        places.portsDir = root + "/ports";
        places.devRoot = root + "/dev";
        std::filesystem::create_directories(places.portsDir);
        sim = std::make_unique<CSimPeer>(HX410_SIM_PATH, places.portsDir, scale,
                                         std::vector<std::string>{"--warmup", "0"});
        link = std::make_unique<CAhrsLink>(ui, timeBase, places);
    }
    ~CBench() {
        link.reset();
        sim.reset();
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
    bool Start() {
        return sim->Ok() && link->Open(static_cast<std::uint8_t>(sim->ComNumber())) &&
               link->SelectOutputPage('C') &&
               ui.RunUntil([&] { return link->IsLinkAlive(); }, 30000);
    }

    CTimeBase timeBase;
    CPlainUiThread ui;
    std::string root;
    ComPortPlaces places;
    std::unique_ptr<CSimPeer> sim;
    std::unique_ptr<CAhrsLink> link;
};

void BM_LinkCpuAtLineRate(benchmark::State& state) {
    constexpr double kLinkSeconds = 10;
    double cpu = 0;
    double headings = 0;
    for (auto _ : state) {
        CBench bench(1.0);
        if (!bench.Start()) {
            state.SkipWithError("the simulator did not come up");
            return;
        }
        bench.link->State().ClearCounters();
        const double before = ProcessCpuSeconds();
        bench.ui.RunFor(kLinkSeconds * 1000);
        cpu = ProcessCpuSeconds() - before;
        headings = bench.link->State().GetAvgHeadingCount();
    }
    state.counters["cpu_per_link_s"] = cpu / kLinkSeconds;
    state.counters["heading_lines_per_s"] = headings / kLinkSeconds;
}
BENCHMARK(BM_LinkCpuAtLineRate)->Iterations(1)->Unit(benchmark::kSecond);

void BM_LinkMemoryOverHour(benchmark::State& state) {
    constexpr double kScale = 200;
    constexpr double kHourMs = 3600 * 1000;
    double startKb = 0;
    double endKb = 0;
    double headings = 0;
    for (auto _ : state) {
        CBench bench(kScale);
        if (!bench.Start()) {
            state.SkipWithError("the simulator did not come up");
            return;
        }
        bench.ui.RunFor(5000); // settle: first pages painted, buffers grown
        startKb = ResidentKb();
        for (double elapsed = 0; elapsed < kHourMs; elapsed += 60000) {
            bench.ui.RunFor(60000);
        }
        endKb = ResidentKb();
        headings = bench.link->State().GetAvgHeadingCount();
        if (!bench.link->IsLinkAlive()) {
            state.SkipWithError("the link was lost");
        }
    }
    state.counters["rss_start_kb"] = startKb;
    state.counters["rss_end_kb"] = endKb;
    state.counters["heading_lines"] = headings;
}
BENCHMARK(BM_LinkMemoryOverHour)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
