// Decode speed of our Deflate64, PPMd, BZip2 and LZMA decoders against 7-Zip on the same
// archive: a 100 MB file of mixed content (text, binary code, noise, runs) packed by
// `7z a -tzip`, then decoded by us (to memory, with the CRC-32 the extractor computes), for
// BZip2 and LZMA also by libbz2 and liblzma through the same interface, and by
// `7z x -so -mmt=1 >/dev/null`.
//   decoders_bench [MB] [rounds] [mixed|package]     (default 100 MB, best of 3, mixed)
// "package" is the content of bench/zip_extract_bench.py's package instead, a third of it
// random bytes. QL_BENCH_ONLY=BZip2 (or another method's name) runs one method.
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
#include "archive/decoders/methods.h"
#include "archive/decoders/ppmd8.h"
#include "tests/support/zip_entries.h"
#if QL_BENCH_LIBRARIES
#include "bench/library_decoders.h"
#endif

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

// The content of bench/zip_extract_bench.py's package as one file: pieces of about 60 KB,
// in turn words of text, semicolon records and random bytes (a third of it incompressible).
std::string packageFile(std::size_t size) {
    static const char* const kWords[] = {
        "update", "version", "company", "script",   "trigger", "INSERT",  "INTO",     "VALUES",
        "SELECT", "FROM",    "WHERE",   "Quillora", "fattura", "cliente", "articolo", "magazzino",
        "0",      "1",       "2",       "3",        "4",       "5",       "6",        "7",
        "8",      "9",       ";",       ",",        "(",       ")",       "\r\n"};
    std::mt19937 rng(1);
    std::string text;
    for (int i = 0; i < 400000; ++i) text += std::string(kWords[rng() % 31]) + " ";
    std::string records;
    for (int i = 0; i < 40000; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "%08d;%-20s;%12.2f;%s\r\n", i, kWords[rng() % 31],
                      static_cast<double>(rng() % 100000000) / 100.0, i % 3 ? "Y" : "N");
        records += line;
    }
    std::exponential_distribution<double> pieceSize(1.0 / 60000);
    std::string s;
    s.reserve(size + 1200000);
    for (unsigned i = 0; s.size() < size; ++i) {
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(pieceSize(rng)) + 1, 1200000);
        const std::string* from = i % 3 == 0 ? &text : i % 3 == 1 ? &records : nullptr;
        if (!from) {
            for (std::size_t k = 0; k < n; ++k) s += static_cast<char>(rng());
            continue;
        }
        for (std::size_t at = rng() % from->size(), left = n; left > 0;) {
            const std::size_t k = std::min(left, from->size() - at);
            s.append(*from, at, k);
            left -= k;
            at = 0;
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

int g_rounds = 3;

// Wall time suffers when the machine is shared; CPU time (best of the rounds) is the steadier
// figure.
struct Times {
    double wall = 1e9;
    double cpu = 1e9;
};

double cpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

using Maker = std::unique_ptr<archive::Decoder> (*)(const archive::DecoderParams&,
                                                    archive::ByteSource&);

// A decoder over the entry; best of the rounds, or a negative wall time on a mismatch.
Times timeDecoder(Maker make, const testsupport::RawZipEntry& e) {
    Times best;
    std::vector<std::byte> buf(256 * 1024);
    for (int round = 0; round < g_rounds; ++round) {
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
        best.wall = std::min(best.wall, seconds(t0, Clock::now()));
        best.cpu = std::min(best.cpu, cpuSeconds(RUSAGE_SELF) - c0);
        if (total != e.uncompressedSize || crc != e.crc32) return {-1, -1};
    }
    return best;
}

Times time7z(const std::string& zip) {
    Times best;
    const std::string cmd = "7z x -so -mmt=1 '" + zip + "' >/dev/null 2>&1";
    for (int round = 0; round < g_rounds; ++round) {
        const auto t0 = Clock::now();
        const double c0 = cpuSeconds(RUSAGE_CHILDREN);
        if (std::system(cmd.c_str()) != 0) return {-1, -1};
        best.wall = std::min(best.wall, seconds(t0, Clock::now()));
        best.cpu = std::min(best.cpu, cpuSeconds(RUSAGE_CHILDREN) - c0);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    if (argc > 2) g_rounds = std::max(1, std::atoi(argv[2]));
    const bool package = argc > 3 && std::string(argv[3]) == "package";
    if (std::system("command -v 7z >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "7z (p7zip-full) is needed\n");
        return 2;
    }
    const fs::path dir =
        fs::temp_directory_path() / ("ql-decoders-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    {
        std::ofstream out(dir / "mixed.bin", std::ios::binary);
        const std::string data =
            package ? packageFile(mb * 1000 * 1000) : mixedFile(mb * 1000 * 1000);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    std::printf("%-10s %9s %9s %9s %9s %10s %10s %9s %9s %10s\n", "method", "packed MB", "ours cpu",
                "lib cpu", "7z cpu", "ours/7z", "lib/7z", "ours s", "7z s", "wall ratio");
    struct Run {
        const char* name;
        const char* option;
        Maker ours;
        Maker library;  // nullptr: no library peer
    };
    const Run runs[] = {
        {"Deflate64", "-mm=Deflate64", archive::makeDeflate64Decoder, nullptr},
        {"PPMd", "-mm=PPMd", archive::makePpmdDecoder, nullptr},
#if QL_BENCH_LIBRARIES
        {"BZip2", "-mm=BZip2", archive::makeBzip2Decoder, archive::makeLibraryBzip2Decoder},
        {"LZMA", "-mm=LZMA", archive::makeLzmaDecoder, archive::makeLibraryLzmaDecoder},
#else
        {"BZip2", "-mm=BZip2", archive::makeBzip2Decoder, nullptr},
        {"LZMA", "-mm=LZMA", archive::makeLzmaDecoder, nullptr},
#endif
    };
    const char* only = std::getenv("QL_BENCH_ONLY");  // one method by name, e.g. BZip2
    int rc = 0;
    for (const auto& r : runs) {
        if (only && std::string(only) != r.name) continue;
        const std::string zip = (dir / (std::string(r.name) + ".zip")).string();
        const std::string pack = "7z a -tzip -mmt=1 " + std::string(r.option) + " '" + zip + "' '" +
                                 (dir / "mixed.bin").string() + "' >/dev/null";
        if (std::system(pack.c_str()) != 0) return 2;
        std::ifstream in(zip, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        auto entries = testsupport::readRawZipEntries(bytes);
        if (!entries || entries->size() != 1) return 2;
        // Alternate the three so that a busy spell of the machine hits them alike.
        Times ours, lib, peer;
        const int rounds = g_rounds;
        g_rounds = 1;
        for (int round = 0; round < rounds; ++round) {
            const Times o = timeDecoder(r.ours, entries->front());
            const Times l = r.library ? timeDecoder(r.library, entries->front()) : Times{0, 0};
            const Times p = time7z(zip);
            if (o.wall < 0 || l.wall < 0 || p.wall < 0) rc = 1;
            ours = {std::min(ours.wall, o.wall), std::min(ours.cpu, o.cpu)};
            lib = {std::min(lib.wall, l.wall), std::min(lib.cpu, l.cpu)};
            peer = {std::min(peer.wall, p.wall), std::min(peer.cpu, p.cpu)};
        }
        g_rounds = rounds;
        char libCpu[16] = "-", libRatio[16] = "-";
        if (r.library) {
            std::snprintf(libCpu, sizeof libCpu, "%.3f", lib.cpu);
            std::snprintf(libRatio, sizeof libRatio, "%.2fx", lib.cpu / peer.cpu);
        }
        std::printf("%-10s %9.1f %9.3f %9s %9.3f %9.2fx %10s %9.3f %9.3f %9.2fx\n", r.name,
                    static_cast<double>(entries->front().data.size()) / 1e6, ours.cpu, libCpu,
                    peer.cpu, ours.cpu / peer.cpu, libRatio, ours.wall, peer.wall,
                    ours.wall / peer.wall);
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return rc;
}
