// Every decoder on damaged versions of real entries (bytes flipped, cut short, garbage
// appended), through the fuzz targets' own body: each run must end, without a crash and
// without output beyond the entry's size.
#include <gtest/gtest.h>

#include <random>

#include "archive/decoders/deflate64.h"
#include "archive/decoders/implode.h"
#include "archive/decoders/methods.h"
#include "archive/decoders/ppmd8.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "archive/decoders/wavpack.h"
#include "fuzz/decoder_fuzz_body.h"
#include "tests/archive/decoders/decode_helpers.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

struct Target {
    const char* name;
    fuzzing::Maker make;
    std::vector<int> methods;
};

const Target kTargets[] = {
    {"deflate64", archive::makeDeflate64Decoder, {9}},
    {"ppmd", archive::makePpmdDecoder, {98}},
    {"implode", archive::makeImplodeDecoder, {6}},
    {"shrink", archive::makeShrinkDecoder, {1}},
    {"reduce", archive::makeReduceDecoder, {2, 3, 4, 5}},
    {"wavpack", archive::makeWavPackDecoder, {97}},
    {"bzip2", archive::makeBzip2Decoder, {12}},
    {"lzma", archive::makeLzmaDecoder, {14}},
};

// The fuzz input layout: flags, the size in 16-byte steps, then the data.
std::string fuzzInput(const RawZipEntry& e, const std::string& data) {
    const auto steps =
        static_cast<unsigned>(std::min<std::uint64_t>(e.uncompressedSize / 16 + 1, 0xFFFF));
    std::string in;
    in += static_cast<char>(e.flags & 0xFF);
    in += static_cast<char>(steps & 0xFF);
    in += static_cast<char>(steps >> 8);
    return in + data;
}

fuzzing::RunResult run(const Target& t, int method, const std::string& in) {
    return fuzzing::runDecoder(t.make, static_cast<std::uint16_t>(method),
                               reinterpret_cast<const std::uint8_t*>(in.data()), in.size());
}

TEST(CorruptInput, DamagedRealEntriesEndCleanly) {
    for (const auto& t : kTargets) {
        auto entries = realEntries(t.methods);
        if (entries.empty()) GTEST_SKIP() << "shared test archives absent";
        SCOPED_TRACE(t.name);
        {
            // The Windows build has no WavPack decoder: nothing of that target to damage.
            archive::DecoderParams params;
            params.method = static_cast<std::uint16_t>(t.methods.front());
            fuzzing::SpanSource empty(nullptr, 0);
            if (!t.make(params, empty)) continue;
        }
        std::mt19937 rng(1234);
        unsigned used = 0, failures = 0, runs = 0;
        for (const auto& e : entries) {
            if (e.raw.data.size() > 60000 || e.raw.data.empty() || used++ >= 6) continue;
            for (int round = 0; round < 25; ++round) {
                std::string data = e.raw.data;
                switch (round % 3) {
                    case 0:  // flip a few bytes, most of them near the start (the tables)
                        for (int k = 0; k < 1 + round % 5; ++k) {
                            const std::size_t at =
                                rng() %
                                std::min<std::size_t>(data.size(), k == 0 ? 64 : data.size());
                            data[at] = static_cast<char>(data[at] ^ (1 + rng() % 255));
                        }
                        break;
                    case 1:
                        data.resize(rng() % data.size());
                        break;
                    default:
                        for (int k = 0; k < 64; ++k) data += static_cast<char>(rng());
                        break;
                }
                const auto r = run(t, e.raw.method, fuzzInput(e.raw, data));
                EXPECT_LE(r.produced, r.limit);
                failures += r.failed;
                ++runs;
            }
        }
        // Cut-short streams cannot all decode: a decoder that never reports a failure is not
        // noticing damage at all.
        EXPECT_GT(failures, 0u) << runs << " runs";
    }
}

}  // namespace
