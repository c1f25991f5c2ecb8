// Decode speed of our Deflate64 and PPMd decoders against 7-Zip on the same archive: a 100 MB
// file of mixed content (text, binary code, noise, runs) packed by `7z a -tzip`, then decoded
// by us (to memory, with the CRC-32 the extractor computes) and by `7z x -so >/dev/null`.
//   decoders_bench [MB [ROUNDS]]     (default 100 MB, 5 rounds, ours and 7z alternating)
#include <zlib.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/decoders/deflate64.h"
#include "archive/decoders/ppmd8.h"
#include "tests/support/zip_entries.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string mixedFile(std::size_t size) {
    std::string s;
    s.reserve(size);
    std::mt19937 rng(42);
    std::string text;
    for (const char* f :
         {"/usr/share/common-licenses/GPL-3", "/usr/share/common-licenses/Apache-2.0"}) {
        std::ifstream in(f, std::ios::binary);
        text.append(std::istreambuf_iterator<char>(in), {});
    }
    if (text.empty()) text = "the quick brown fox jumps over the lazy dog\n";
    std::string code;
    {
        std::ifstream in("/proc/self/exe", std::ios::binary);
        code.assign(std::istreambuf_iterator<char>(in), {});
    }
    while (s.size() < size) {
        switch (rng() % 8) {
            case 0:
            case 1:
            case 2: {
                const std::size_t at = rng() % text.size();
                s.append(text, at, 20000);
                break;
            }
            case 3:
            case 4: {
                const std::size_t at = rng() % code.size();
                s.append(code, at, 30000);
                break;
            }
            case 5:
                for (int i = 0; i < 4000; ++i) s += static_cast<char>(rng());
                break;
            case 6:
                s.append(1000 + rng() % 70000, static_cast<char>(rng()));
                break;
            default:
                for (int i = 0; i < 5000; ++i)
                    s += std::to_string(i * 37 % 1013) + (i % 9 ? ";" : "\r\n");
                break;
        }
    }
    s.resize(size);
    return s;
}

class MemorySource : public archive::ByteSource {
  public:
    explicit MemorySource(const std::string& d) : m_data(d) {}
    core::Result<std::size_t, archive::DecodeError> read(std::span<std::byte> buf) override {
        const std::size_t n = std::min(buf.size(), m_data.size() - m_pos);
        std::memcpy(buf.data(), m_data.data() + m_pos, n);
        m_pos += n;
        return n;
    }

  private:
    const std::string& m_data;
    std::size_t m_pos = 0;
};

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Wall time suffers when the machine is shared; CPU time is the steadier figure. Each round runs
// ours and then 7z, so that both see the same load; the best round of each counts.
struct Times {
    double wall = 1e9;
    double cpu = 1e9;
    void keepBest(const Times& t) {
        wall = std::min(wall, t.wall);
        cpu = std::min(cpu, t.cpu);
    }
};

double cpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One run of our decoder over the entry, or a negative wall time on a mismatch.
template <class Make>
Times timeOurs(Make make, const testsupport::RawZipEntry& e) {
    std::vector<std::byte> buf(256 * 1024);
    const auto t0 = Clock::now();
    const double c0 = cpuSeconds(RUSAGE_SELF);
    MemorySource src(e.data);
    archive::DecoderParams p;
    p.method = e.method;
    p.flags = e.flags;
    p.compressedSize = e.compressedSize;
    p.uncompressedSize = e.uncompressedSize;
    auto d = make(p, src);
    uLong crc = crc32(0, Z_NULL, 0);
    std::uint64_t total = 0;
    for (;;) {
        auto got = d->read(buf);
        if (!got) {
            std::fprintf(stderr, "decode error: %s\n", got.error().message.c_str());
            return {-1, -1};
        }
        if (*got == 0) break;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buf.data()), static_cast<uInt>(*got));
        total += *got;
    }
    const Times t{seconds(t0, Clock::now()), cpuSeconds(RUSAGE_SELF) - c0};
    if (total != e.uncompressedSize || crc != e.crc32) return {-1, -1};
    return t;
}

// One run of 7z over the archive (one thread), or a negative wall time when it fails.
Times time7z(const std::string& zip) {
    const std::string cmd = "7z x -so -mmt=1 '" + zip + "' >/dev/null 2>&1";
    const auto t0 = Clock::now();
    const double c0 = cpuSeconds(RUSAGE_CHILDREN);
    if (std::system(cmd.c_str()) != 0) return {-1, -1};
    return {seconds(t0, Clock::now()), cpuSeconds(RUSAGE_CHILDREN) - c0};
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (std::system("command -v 7z >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "7z (p7zip-full) is needed\n");
        return 2;
    }
    const fs::path dir =
        fs::temp_directory_path() / ("ql-decoders-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    {
        std::ofstream out(dir / "mixed.bin", std::ios::binary);
        const std::string data = mixedFile(mb * 1000 * 1000);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    std::printf("%-10s %9s %9s %9s %10s %9s %9s %10s\n", "method", "packed MB", "ours s", "7z s",
                "wall ratio", "ours cpu", "7z cpu", "cpu ratio");
    struct Run {
        const char* name;
        const char* option;
        std::unique_ptr<archive::Decoder> (*make)(const archive::DecoderParams&,
                                                  archive::ByteSource&);
    };
    const Run runs[] = {{"Deflate64", "-mm=Deflate64", archive::makeDeflate64Decoder},
                        {"PPMd", "-mm=PPMd", archive::makePpmdDecoder}};
    int rc = 0;
    for (const auto& r : runs) {
        const std::string zip = (dir / (std::string(r.name) + ".zip")).string();
        const std::string pack = "7z a -tzip " + std::string(r.option) + " '" + zip + "' '" +
                                 (dir / "mixed.bin").string() + "' >/dev/null";
        if (std::system(pack.c_str()) != 0) return 2;
        std::ifstream in(zip, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        auto entries = testsupport::readRawZipEntries(bytes);
        if (!entries || entries->size() != 1) return 2;
        Times ours, peer;
        for (int round = 0; round < rounds; ++round) {
            const Times o = timeOurs(r.make, entries->front());
            const Times z = time7z(zip);
            if (o.wall < 0 || z.wall < 0) rc = 1;
            ours.keepBest(o);
            peer.keepBest(z);
        }
        std::printf("%-10s %9.1f %9.3f %9.3f %9.2fx %9.3f %9.3f %9.2fx\n", r.name,
                    entries->front().data.size() / 1e6, ours.wall, peer.wall, ours.wall / peer.wall,
                    ours.cpu, peer.cpu, ours.cpu / peer.cpu);
    }
    fs::remove_all(dir);
    return rc;
}
