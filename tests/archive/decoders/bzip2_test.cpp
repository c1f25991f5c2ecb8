#include "archive/decoders/methods.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "tests/archive/decoders/decode_helpers.h"
#include "tests/archive/decoders/sample_data.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

const DecoderMaker kMake = archive::makeBzip2Decoder;

archive::DecoderParams paramsFor(std::size_t size) {
    archive::DecoderParams p;
    p.method = 12;
    p.uncompressedSize = size;
    return p;
}

// Inputs that reach the format's corners: runs around the count byte of the final
// run-length stage (4, 5, 259, 260 equal bytes), one or two byte values in use, all 256,
// noise (move-to-front positions up to 255), several blocks, a run longer than a block.
struct Sample {
    const char* name;
    std::string data;
};

std::vector<Sample> samples() {
    std::string runs;
    for (int n = 1; n <= 300; ++n) runs.append(static_cast<std::size_t>(n), static_cast<char>(n));
    std::string values;
    for (int round = 0; round < 40; ++round)
        for (int v = 0; v < 256; ++v) values += static_cast<char>((v * 37 + round) & 0xFF);
    std::string noise;
    std::mt19937 rng(3);
    for (int i = 0; i < 250000; ++i) noise += static_cast<char>(rng());
    std::string two;
    for (int i = 0; i < 5000; ++i) two += (rng() % 3) ? 'a' : 'b';
    return {
        {"one byte", "x"},
        {"runs of 1 to 300", runs},
        {"one value", std::string(1000, 'z')},
        {"two values", two},
        {"every value", values},
        {"noise", noise},
        {"several blocks", mixedSample(1'300'000, 8)},
        {"a run longer than a block", std::string(2'500'000, 'a')},
    };
}

std::string compressWithBzip2(TempDir& dir, const std::string& data, int level) {
    const std::string file = dir.str() + "in.bin";
    std::filesystem::remove(file + ".bz2");
    dir.write("in.bin", data);
    if (runTool({"bzip2", "-f", "-" + std::to_string(level), file}).status != 0) return {};
    return readFile(file + ".bz2");
}

std::string compressWith7z(TempDir& dir, const std::string& data) {
    const std::string zip = dir.str() + "out.zip";
    std::filesystem::remove(zip);
    dir.write("in.bin", data);
    if (runTool({"7z", "a", "-tzip", "-mm=BZip2", "-mmt=1", zip, dir.str() + "in.bin"}).status != 0)
        return {};
    auto entries = readRawZipEntries(readFile(zip));
    if (!entries || entries->size() != 1) return {};
    // 7-Zip stores what it cannot make smaller.
    return entries->front().method == 12 ? entries->front().data : std::string("stored");
}

// libbz2's encoder (the bzip2 tool, block sizes 100k and 900k) and 7-Zip's own encoder choose
// their tables and selectors differently.
TEST(Bzip2, StreamsOfIndependentEncodersMatchTheOriginal) {
    if (!haveTool("bzip2") || !haveTool("7z")) GTEST_SKIP() << "bzip2 or 7z not installed";
    TempDir dir;
    for (const auto& s : samples()) {
        for (const char* producer : {"bzip2 -1", "bzip2 -9", "7z"}) {
            SCOPED_TRACE(std::string(s.name) + ", " + producer);
            const std::string packed = producer[0] == '7'
                                           ? compressWith7z(dir, s.data)
                                           : compressWithBzip2(dir, s.data, producer[7] - '0');
            ASSERT_FALSE(packed.empty());
            if (packed == "stored") continue;
            for (unsigned seed : {0u, 11u}) {
                auto out = decodeAll(kMake, paramsFor(s.data.size()), packed, seed);
                ASSERT_FALSE(out.error) << *out.error;
                EXPECT_TRUE(out.bytes == s.data) << out.bytes.size() << " bytes";
            }
        }
    }
}

// Some writers put several streams one after the other in one entry.
TEST(Bzip2, ConcatenatedStreamsDecodeAsOne) {
    if (!haveTool("bzip2")) GTEST_SKIP() << "bzip2 not installed";
    TempDir dir;
    const std::string a = mixedSample(150'000, 1), b = "a second, short stream";
    const std::string packed = compressWithBzip2(dir, a, 1) + compressWithBzip2(dir, b, 9);
    auto out = decodeAll(kMake, paramsFor(a.size() + b.size()), packed, 4);
    ASSERT_FALSE(out.error) << *out.error;
    EXPECT_TRUE(out.bytes == a + b);
}

// Bits of a stream, most significant first.
class BitWriter {
  public:
    BitWriter& put(std::uint64_t value, unsigned bits) {
        for (unsigned i = bits; i-- > 0;) {
            if (m_bits % 8 == 0) m_bytes += '\0';
            if ((value >> i) & 1)
                m_bytes.back() = static_cast<char>(m_bytes.back() | 0x80 >> m_bits % 8);
            ++m_bits;
        }
        return *this;
    }
    const std::string& bytes() const { return m_bytes; }

  private:
    std::string m_bytes;
    std::size_t m_bits = 0;
};

// A block header up to the coding tables: level 1, byte values 'a' and 'b' in use (four
// symbols: RUNA, RUNB, 'b' moved to the front, end of block), `tables` tables and the given
// selectors (each a table number, written in unary without move-to-front).
BitWriter blockStart(unsigned tables, std::vector<unsigned> selectors) {
    BitWriter w;
    w.put(0x425A6831, 32).put(0x314159265359, 48).put(0, 32).put(0, 1).put(0, 24);
    w.put(0x0200, 16).put(0x6000, 16);  // range 0x60-0x6F, then 'a' (0x61) and 'b' (0x62)
    w.put(tables, 3).put(selectors.size(), 15);
    for (unsigned s : selectors) w.put((1u << (s + 1)) - 2, s + 1);
    return w;
}
// Every table with the code lengths 2, 2, 2, 2: the symbols are 00, 01, 10 and 11.
BitWriter& flatTables(BitWriter& w, unsigned tables) {
    for (unsigned t = 0; t < tables; ++t) w.put(2, 5).put(0, 4);
    return w;
}

std::string bytesOf(BitWriter w) {
    return w.put(0, 40).bytes();  // enough padding that nothing ends early
}

std::string hex8(std::uint64_t v) {
    char s[9];
    std::snprintf(s, sizeof s, "%08x", static_cast<unsigned>(v));
    return s;
}

// Bit `at` of s, counted from the start, most significant bit first.
unsigned bitAt(const std::string& s, std::size_t at) {
    return (static_cast<unsigned char>(s[at / 8]) >> (7 - at % 8)) & 1u;
}
std::uint64_t bitsAt(const std::string& s, std::size_t at, unsigned n) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) v = v << 1 | bitAt(s, at + i);
    return v;
}
std::string flipBit(std::string s, std::size_t at) {
    s[at / 8] = static_cast<char>(s[at / 8] ^ (0x80 >> at % 8));
    return s;
}
std::string setBits(std::string s, std::size_t at, unsigned n, std::uint64_t value) {
    for (unsigned i = 0; i < n; ++i)
        if (bitAt(s, at + i) != ((value >> (n - 1 - i)) & 1)) s = flipBit(s, at + i);
    return s;
}

// Where a stream's end mark starts, in bits: 80 bits before the end, less the padding.
std::size_t endMarkBit(const std::string& s) {
    for (std::size_t pad = 0; pad < 8; ++pad) {
        const std::size_t at = s.size() * 8 - pad - 80;
        if (bitsAt(s, at, 48) == 0x177245385090) return at;
    }
    return 0;
}

TEST(Bzip2, DamagedStreamsFailWithAClearMessage) {
    if (!haveTool("bzip2")) GTEST_SKIP() << "bzip2 not installed";
    TempDir dir;
    // Text without four equal bytes in a row, so that the block holds exactly its 5000 bytes.
    std::string text;
    while (text.size() < 5000) text += "The quick brown fox jumps over the lazy dog 0123456789\n";
    text.resize(5000);
    const std::string good = compressWithBzip2(dir, text, 9);
    ASSERT_GT(good.size(), 20u);
    // Bits 80-111 hold the block CRC, 112 the "randomised" flag, 113-136 the origin pointer.
    const std::string badCrc = flipBit(good, 100);
    // A first stream whose stream CRC is damaged, then a second stream.
    const std::size_t end = endMarkBit(good);
    ASSERT_GT(end, 0u);
    const std::string badStream = flipBit(good, end + 60) + compressWithBzip2(dir, "more", 9);

    struct Case {
        const char* name;
        std::string data;
        std::size_t size;
        std::string message;
    };
    const Case cases[] = {
        {"no data", "", 100, "bzip2: the compressed data ends early"},
        {"not bzip2", "BZx9" + good.substr(4), 100,
         "bzip2: the data does not start with a stream header (BZh1-BZh9)"},
        {"block size 0", "BZh0" + good.substr(4), 100,
         "bzip2: the data does not start with a stream header (BZh1-BZh9)"},
        {"bad block magic", flipBit(good, 40), 5000, "bzip2: bad block header"},
        {"block CRC", badCrc, 5000,
         "bzip2: block CRC mismatch (stored " + hex8(bitsAt(badCrc, 80, 32)) + ", computed " +
             hex8(bitsAt(good, 80, 32)) + ")"},
        {"randomised block", flipBit(good, 112), 5000,
         "bzip2: randomised blocks (bzip2 before 0.9.5) are not supported"},
        {"origin pointer at the block's end", setBits(good, 113, 24, 5000), 5000,
         "bzip2: the origin pointer 5000 is outside the block of 5000 bytes"},
        {"cut in half", good.substr(0, good.size() / 2), 5000,
         "bzip2: the compressed data ends early"},
        {"stream CRC", badStream, 5004,
         "bzip2: stream CRC mismatch (stored " + hex8(bitsAt(badStream, end + 48, 32)) +
             ", computed " + hex8(bitsAt(good, end + 48, 32)) + ")"},
        {"garbage after the stream", good + "garbage!", 5010,
         "bzip2: the data after a stream is not another stream"},
        {"stream shorter than the entry", good, 5010,
         "bzip2: the compressed data ends after 5000 of 5010 bytes"},
        {"no byte values in use",
         bytesOf(BitWriter().put(0x425A6831, 32).put(0x314159265359, 48).put(0, 57).put(0, 16)),
         100, "bzip2: the block uses no byte values"},
        {"one table", bytesOf(blockStart(1, {0})), 100,
         "bzip2: the number of coding tables is 1 (2 to 6 are allowed)"},
        {"seven tables", bytesOf(blockStart(7, {0})), 100,
         "bzip2: the number of coding tables is 7 (2 to 6 are allowed)"},
        {"no selectors", bytesOf(blockStart(2, {})), 100, "bzip2: the block has no selectors"},
        {"selector past the tables", bytesOf(blockStart(2, {2})), 100,
         "bzip2: a selector names a table that does not exist"},
        {"code length 0", bytesOf(blockStart(2, {0}).put(0, 5)), 100,
         "bzip2: a code length is outside 1-20"},
        {"code length 21", bytesOf(blockStart(2, {0}).put(20, 5).put(0b10, 2)), 100,
         "bzip2: a code length is outside 1-20"},
        {"over-subscribed code", bytesOf(blockStart(2, {0}).put(1, 5).put(0, 4)), 100,
         "bzip2: a coding table has more codes than its lengths allow"},
        // Lengths 1, 2, 3, 3 leave no code free, 1, 2, 3, 4 leave 1111 unused.
        {"unused code",
         bytesOf(blockStart(2, {0})
                     .put(1, 5)
                     .put(0b0100100, 7)
                     .put(0b100, 3)
                     .put(2, 5)
                     .put(0, 4)
                     .put(0b1111, 4)),
         100, "bzip2: an invalid Huffman code"},
        {"more symbols than selectors",
         [] {
             BitWriter w = blockStart(2, {0});
             flatTables(w, 2);
             for (int i = 0; i < 51; ++i) w.put(0b10, 2);  // 'b', 'a', 'b', ...
             return bytesOf(w);
         }(),
         100, "bzip2: the block has more symbols than selectors"},
        {"run past the block size",
         [] {
             BitWriter w = blockStart(2, {0});
             flatTables(w, 2);
             for (int i = 0; i < 17; ++i) w.put(0b01, 2);  // RUNB 17 times: 2^18 - 2 bytes
             return bytesOf(w);
         }(),
         100, "bzip2: a run goes past the block size"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto out = decodeAll(kMake, paramsFor(c.size), c.data);
        ASSERT_TRUE(out.error);
        EXPECT_EQ(*out.error, c.message);
    }
}

}  // namespace
