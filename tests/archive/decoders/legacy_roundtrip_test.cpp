// Shrink, reduce and implode on inputs our test-only encoders pack: the corners the real
// archives miss (partial clears on demand, every follower-set size, all four implode flag
// combinations, copies from exactly the window size back, the longest copies).
#include <gtest/gtest.h>

#include <random>

#include "archive/decoders/implode.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "tests/archive/decoders/decode_helpers.h"
#include "tests/archive/decoders/sample_data.h"
#include "tests/support/legacy_encoders.h"

namespace {

using namespace testsupport;

struct Input {
    const char* name;
    std::string bytes;
};

std::vector<Input> inputs() {
    std::mt19937 rng(77);
    std::string noise(20000, '\0');
    for (auto& c : noise) c = static_cast<char>(rng());
    // A block repeated exactly 4096 and 8192 bytes later: copies from the window's far edge.
    std::string edge(8192, '\0');
    for (auto& c : edge) c = static_cast<char>(rng() % 16 + 'a');
    edge = edge.substr(0, 4096) + edge.substr(0, 4096) + edge + edge;
    std::string dle(3000, static_cast<char>(144));  // the reduce escape byte itself, in runs
    for (std::size_t i = 0; i < dle.size(); i += 7) dle[i] = 'x';
    return {
        {"one byte", "A"},     {"mixed", mixedSample(150'000, 5)},
        {"noise", noise},      {"long run", std::string(100'000, 'z')},
        {"window edge", edge}, {"DLE bytes", dle},
    };
}

Decoded decode(const DecoderMaker& make, std::uint16_t method, std::uint16_t flags,
               const std::string& packed, std::size_t size) {
    archive::DecoderParams p;
    p.method = method;
    p.flags = flags;
    p.compressedSize = packed.size();
    p.uncompressedSize = size;
    return decodeAll(make, p, packed, 13);
}

TEST(LegacyRoundTrip, ShrinkWithPartialClears) {
    for (const auto& in : inputs()) {
        for (unsigned clearEvery : {0u, 40u, 3000u}) {
            SCOPED_TRACE(std::string(in.name) + ", clear every " + std::to_string(clearEvery));
            const std::string packed = shrinkEncode(in.bytes, {clearEvery});
            auto out = decode(archive::makeShrinkDecoder, 1, 0, packed, in.bytes.size());
            ASSERT_FALSE(out.error) << *out.error;
            EXPECT_TRUE(out.bytes == in.bytes);
        }
    }
}

TEST(LegacyRoundTrip, ReduceEveryFactorAndFollowerSetSize) {
    for (const auto& in : inputs()) {
        for (unsigned factor = 1; factor <= 4; ++factor) {
            for (unsigned shift : {0u, 17u}) {
                SCOPED_TRACE(std::string(in.name) + ", factor " + std::to_string(factor) +
                             ", shift " + std::to_string(shift));
                const std::string packed = reduceEncode(in.bytes, factor, shift);
                auto out =
                    decode(archive::makeReduceDecoder, static_cast<std::uint16_t>(1 + factor), 0,
                           packed, in.bytes.size());
                ASSERT_FALSE(out.error) << *out.error;
                EXPECT_TRUE(out.bytes == in.bytes);
            }
        }
    }
}

TEST(LegacyRoundTrip, ImplodeAllFourFlagCombinations) {
    for (const auto& in : inputs()) {
        for (std::uint16_t flags : {0x0, 0x2, 0x4, 0x6}) {
            SCOPED_TRACE(std::string(in.name) + ", flags " + std::to_string(flags));
            const std::string packed = implodeEncode(in.bytes, flags);
            auto out = decode(archive::makeImplodeDecoder, 6, flags, packed, in.bytes.size());
            ASSERT_FALSE(out.error) << *out.error;
            EXPECT_TRUE(out.bytes == in.bytes);
        }
    }
}

// APPNOTE 5.3: a copy reaching before the start of the data reads zeros. Built by hand: two
// trees (lengths, distances) of 64 six-bit codes each, so value v has the code 63 - v; then a
// copy of 5 (length code 3) from 100 back (low bits 35, high code 1), and the literal 'q'.
TEST(LegacyRoundTrip, ImplodeCopyBeforeTheStartReadsZeros) {
    std::string bits;
    auto raw = [&](unsigned v, unsigned n) {
        for (unsigned i = 0; i < n; ++i) bits += ((v >> i) & 1) ? '1' : '0';
    };
    auto code = [&](unsigned v, unsigned n) {
        for (unsigned i = n; i-- > 0;) bits += ((v >> i) & 1) ? '1' : '0';
    };
    for (int tree = 0; tree < 2; ++tree) {
        raw(3, 8);                                 // 4 bytes follow
        for (int k = 0; k < 4; ++k) raw(0xF5, 8);  // 16 values of 6 bits
    }
    raw(0, 1);
    raw(35, 6);
    code(63 - 1, 6);
    code(63 - 3, 6);
    raw(1, 1);
    raw('q', 8);
    std::string packed;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (i % 8 == 0) packed += '\0';
        if (bits[i] == '1') packed.back() = static_cast<char>(packed.back() | (1 << (i % 8)));
    }
    auto out = decode(archive::makeImplodeDecoder, 6, 0, packed, 6);
    ASSERT_FALSE(out.error) << *out.error;
    EXPECT_EQ(out.bytes, std::string(5, '\0') + "q");
}

}  // namespace
