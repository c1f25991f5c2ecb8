// CopyTree against `cp -rf`, and phase 3's staged install (StagedMergeTree: backup links, a
// durable journal, new files beside the old, one flush, renames, the backup kept) against
// `cp -a`, on the same tree, each replacing an existing copy (the updater's case: a package
// copied over an installation). cp overwrites in place without flushing. Each timed run starts
// after a sync, so no run pays for the write-back of another's bytes.
// Run it on the file system the comparison is about: the temporary folder (TMPDIR) holds the
// trees. On an ext4 without a journal, new files after many recent removals cost much more than
// on a journaled one (docs/staged_install.md).
//   tree_copy_bench [SMALL_FILES] [LARGE_FILES]   (defaults 2000 files of 4 KiB, 20 of 4 MiB)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "host/staged_install.h"
#include "host/tree_ops.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& p, std::size_t size, char fill) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << std::string(size, fill);
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string at -O3.
std::string numbered(char prefix, unsigned n, const char* suffix) {
    std::string s(1, prefix);
    s += std::to_string(n);
    s += suffix;
    return s;
}

void makeTree(const fs::path& root, int small, int large) {
    for (int i = 0; i < small; ++i)
        writeFile(root / numbered('d', i % 40, "") / numbered('f', i, ".dat"), 4096, 'a');
    for (int i = 0; i < large; ++i)
        writeFile(root / "big" / numbered('b', i, ".bin"), 4 << 20, 'b');
}

// Every timed run starts with nothing left to write back: the staged install's flush would
// otherwise also write out what the untimed-flush runs before it left in the page cache.
void writeBackEverything() {
    (void)std::system("sync");
}

// User and system CPU time of this process and of its waited-for children so far: on a shared
// machine the wall time moves with the other work, the CPU time much less.
double cpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        ::getrusage(who, &u);
        total += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                 static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class F>
Timing medianTimes(int runs, F f) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        writeBackEverything();
        const double cpuStart = cpuSeconds();
        auto start = std::chrono::steady_clock::now();
        f();
        wall.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(cpuSeconds() - cpuStart);
    }
    return {median(wall), median(cpu)};
}

void report(const char* what, Timing t, double mib) {
    std::printf("%-28s %8.3f s  %7.1f MiB/s   cpu %6.3f s\n", what, t.wall, mib / t.wall, t.cpu);
}

void ratio(const char* what, Timing a, Timing b) {
    std::printf("%-28s %8.2f                 cpu %6.2f\n", what, a.wall / b.wall, a.cpu / b.cpu);
}

}  // namespace

int main(int argc, char** argv) {
    int small = argc > 1 ? std::atoi(argv[1]) : 2000;
    int large = argc > 2 ? std::atoi(argv[2]) : 20;
    fs::path base = fs::temp_directory_path() / numbered('q', std::random_device{}(), "-ql-bench");
    makeTree(base / "pkg" / "Ostrel", small, large);
    fs::create_directories(base / "ours");
    fs::create_directories(base / "cp");
    fs::create_directories(base / "staged");
    fs::create_directories(base / "cpa");
    std::string err;
    // A first copy each, so that every timed run replaces existing files.
    host::CopyTree((base / "pkg/Ostrel").string(), (base / "ours").string(), err);
    std::string cp = "cp -rf '";
    cp += (base / "pkg/Ostrel").string();
    cp += "' '";
    cp += (base / "cp").string();
    cp += "'";
    if (std::system(cp.c_str()) != 0) return 1;
    host::MergeTree((base / "pkg/Ostrel").string(), (base / "staged").string(), err);
    std::string cpa = "cp -a '";
    cpa += (base / "pkg/Ostrel").string();
    cpa += "/.' '";
    cpa += (base / "cpa").string();
    cpa += "'";
    if (std::system(cpa.c_str()) != 0) return 1;

    const int runs = 5;
    const Timing ours = medianTimes(runs, [&] {
        if (!host::CopyTree((base / "pkg/Ostrel").string(), (base / "ours").string(), err))
            std::fprintf(stderr, "CopyTree failed: %s\n", err.c_str());
    });
    const Timing peer = medianTimes(runs, [&] { (void)std::system(cp.c_str()); });
    int version = 0;
    const auto stagedRun = [&] {
        const std::string from = std::to_string(version++);
        const host::StagedResult r = host::StagedMergeTree({(base / "pkg/Ostrel").string(),
                                                            (base / "staged/").string(),
                                                            from,
                                                            std::to_string(version),
                                                            "",
                                                            {}});
        if (r.code != 0) std::fprintf(stderr, "StagedMergeTree failed: %d\n", r.code);
    };
    const Timing staged = medianTimes(runs, stagedRun);
    const Timing peerA = medianTimes(runs, [&] { (void)std::system(cpa.c_str()); });
    // The staged install ends with the file system flushed; cp leaves its bytes to the
    // write-back. The same copy followed by the same flush, for the cost of durability alone.
    const std::string cpaSync = cpa + " && sync -f '" + (base / "cpa").string() + "'";
    const Timing peerASync = medianTimes(runs, [&] { (void)std::system(cpaSync.c_str()); });
    const double mib = (small * 4096.0 + large * 4.0 * (1 << 20)) / (1 << 20);
    std::printf("tree: %d files of 4 KiB + %d of 4 MiB (%.1f MiB), median of %d runs\n", small,
                large, mib, runs);
    report("CopyTree (atomic, flushed)", ours, mib);
    report("cp -rf (in place)", peer, mib);
    ratio("ratio CopyTree / cp", ours, peer);
    report("cp -a (in place)", peerA, mib);
    report("cp -a, then sync -f", peerASync, mib);
    report("StagedMergeTree (backup)", staged, mib);
    ratio("ratio staged / cp -a", staged, peerA);
    ratio("ratio staged / cp -a + sync", staged, peerASync);
    fs::remove_all(base);
    return 0;
}
