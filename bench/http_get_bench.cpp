// qltool get against curl -o: both download the same file from nginx on 127.0.0.1, alternating,
// RUNS times each; prints the median throughput, CPU time and peak RSS of both and the ratios.
//   http_get_bench [SIZE_MiB=1024] [RUNS=5]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/http_servers.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

struct Run {
    double seconds = 0;  // wall time
    double cpu = 0;      // user + system
    double rssMiB = 0;   // peak resident set
};

// Runs a command under GNU time; false when it failed.
bool measure(const std::string& command, const fs::path& timing, Run& run) {
    const std::string line = "/usr/bin/time -f '%U %S %M' -o " + timing.string() + " " + command;
    auto t0 = std::chrono::steady_clock::now();
    int rc = std::system(line.c_str());
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::istringstream in(readFile(timing));
    double user = 0, sys = 0, kib = 0;
    in >> user >> sys >> kib;
    run.cpu = user + sys;
    run.rssMiB = kib / 1024;
    return rc == 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 1024;
    const int runs = argc > 2 ? std::stoi(argv[2]) : 5;
    const std::uint64_t size = mib * 1024 * 1024;
    if (!fs::exists("/usr/bin/time") || !haveProgram("curl")) {
        std::fprintf(stderr, "needs /usr/bin/time and curl\n");
        return 2;
    }
    TempDir dir;
    fs::create_directories(dir.path() / "www");
    fs::create_directories(dir.path() / "server");
    const fs::path file = dir.path() / "www" / "big.zip";
    writePatternFile(file, size);
    NginxServer nginx(dir.path() / "www", dir.path() / "server");
    if (!nginx.running()) {
        std::fprintf(stderr, "nginx: %s\n", nginx.why().c_str());
        return 2;
    }
    const std::string url = nginx.url("/big.zip");
    const fs::path out = dir.path() / "out.zip";
    const fs::path timing = dir.path() / "timing.txt";
    const std::string ours =
        binaryDir() + "/tools/qltool/qltool get " + url + " " + out.string() + " 2>/dev/null";
    const std::string curl = "curl -s -o " + out.string() + " " + url;

    std::vector<double> tq, tc, cq, cc, rq, rc;
    for (int i = 0; i < runs; ++i) {
        for (int who = 0; who < 2; ++who) {
            fs::remove(out);
            Run r;
            if (!measure(who == 0 ? ours : curl, timing, r) || fs::file_size(out) != size) {
                std::fprintf(stderr, "%s failed\n", who == 0 ? "qltool get" : "curl");
                return 1;
            }
            (who == 0 ? tq : tc).push_back(static_cast<double>(size) / r.seconds / (1024 * 1024));
            (who == 0 ? cq : cc).push_back(r.cpu);
            (who == 0 ? rq : rc).push_back(r.rssMiB);
            std::printf("run %d %-10s %8.1f MiB/s  cpu %.2f s  rss %.1f MiB\n", i + 1,
                        who == 0 ? "qltool" : "curl",
                        static_cast<double>(size) / r.seconds / (1024 * 1024), r.cpu, r.rssMiB);
        }
    }
    fs::remove(out);
    std::printf("\nfile %llu MiB, %d runs each, medians:\n", static_cast<unsigned long long>(mib),
                runs);
    std::printf("  qltool get: %8.1f MiB/s  cpu %.2f s  peak rss %.1f MiB\n", median(tq),
                median(cq), median(rq));
    std::printf("  curl -o   : %8.1f MiB/s  cpu %.2f s  peak rss %.1f MiB\n", median(tc),
                median(cc), median(rc));
    std::printf("  throughput ratio (qltool/curl) %.3f  (target >= 0.95)\n",
                median(tq) / median(tc));
    std::printf("  cpu ratio        (qltool/curl) %.3f  (target <= 1.2)\n",
                median(cq) / median(cc));
    return 0;
}
