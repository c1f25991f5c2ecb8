// The package check of phase 2 (size, then SHA-256 read back from the file) against the system's
// `sha256sum` on the same file, page cache warm for both.
//   package_check_bench [MIB]   (default 256)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "trust/release_check.h"

namespace fs = std::filesystem;

namespace {

template <class F>
double medianSeconds(int runs, F f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        f();
        t.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long mib = argc > 1 ? std::atol(argv[1]) : 256;
    const fs::path file =
        fs::temp_directory_path() / ("ql-package-bench-" + std::to_string(std::random_device{}()));
    {
        std::mt19937_64 rng(1);
        std::vector<std::uint64_t> block(1 << 17);
        std::ofstream out(file, std::ios::binary);
        for (long i = 0; i < mib; ++i) {
            for (auto& w : block) w = rng();
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * 8));
        }
    }
    trust::VerifiedRelease release;
    release.size = fs::file_size(file);
    {
        trust::Sha256 h;
        std::ifstream in(file, std::ios::binary);
        std::vector<char> buf(1 << 20);
        while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0)
            h.update({reinterpret_cast<const std::byte*>(buf.data()),
                      static_cast<std::size_t>(in.gcount())});
        release.sha256 = h.finish();
    }
    bool ok = true;
    const double ours =
        medianSeconds(5, [&] { ok = ok && trust::checkPackage(file.string(), release).ok(); });
    const std::string cmd = "sha256sum '" + file.string() + "' > /dev/null";
    int rc = 0;
    const double peer = medianSeconds(5, [&] { rc |= std::system(cmd.c_str()); });
    fs::remove(file);
    if (!ok || rc != 0) {
        std::fprintf(stderr, "package_check_bench: a run failed\n");
        return 1;
    }
    std::printf("package of %ld MiB, median of 5\n", mib);
    std::printf("checkPackage: %.3f s (%.0f MiB/s)\n", ours, mib / ours);
    std::printf("sha256sum:    %.3f s (%.0f MiB/s)\n", peer, mib / peer);
    std::printf("ratio:        %.2fx\n", ours / peer);
    return 0;
}
