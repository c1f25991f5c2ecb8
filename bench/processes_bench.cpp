// Process lookups and command runs side by side with their everyday peers: a /proc snapshot
// against `pgrep -x` started as a program, and RunAndWait against std::system (which adds a
// shell). Prints the time ratios after the table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "host/platform/process.h"

namespace {

void BM_ProcessSnapshot(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(host::processSnapshot());
}
void BM_IsProcessRunning(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(host::IsProcessRunning("OsReceiveSrv.exe"));
}
void BM_FindProcessByModule(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(host::FindProcessByModule("QLMain.exe"));
}
// pgrep matches the kernel's 15-character task name, so it gets the name cut to that length.
void BM_PeerPgrep(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(host::RunAndWait("pgrep -x OsReceiveSrv.ex"));
}
void BM_RunAndWaitTrue(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(host::RunAndWait("true"));
}
void BM_PeerSystemTrue(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(std::system("true"));
}

BENCHMARK(BM_ProcessSnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsProcessRunning)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindProcessByModule)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerPgrep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunAndWaitTrue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerSystemTrue)->Unit(benchmark::kMillisecond);

// Keeps the real time per iteration of each run while printing the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.iterations > 0) m_seconds[r.benchmark_name()] = r.real_accumulated_time / r.iterations;
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatio(const char* ours, const char* peer) const {
        auto a = m_seconds.find(ours), b = m_seconds.find(peer);
        if (a == m_seconds.end() || b == m_seconds.end()) return;
        std::printf("%s / %s = %.3f\n", ours, peer, a->second / b->second);
    }

private:
    std::map<std::string, double> m_seconds;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("BM_IsProcessRunning", "BM_PeerPgrep");
    reporter.printRatio("BM_RunAndWaitTrue", "BM_PeerSystemTrue");
    benchmark::Shutdown();
    return 0;
}
