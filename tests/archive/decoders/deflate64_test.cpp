#include "archive/decoders/deflate64.h"

#include <gtest/gtest.h>

#include "tests/archive/decoders/decode_helpers.h"
#include "tests/archive/decoders/sample_data.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

const DecoderMaker kMake = archive::makeDeflate64Decoder;

// 7-Zip's Deflate64 encoder reaches the long matches (code 285) and far distances (codes 30
// and 31) on the runs and far repeats of the sample.
TEST(Deflate64, EntriesWrittenBy7zMatchTheOriginal) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z (p7zip-full) not installed";
    TempDir dir;
    const std::string original = mixedSample(3'000'000, 11);
    dir.write("mixed.bin", original);
    dir.write("empty.bin", "");
    for (const char* level : {"-mx=1", "-mx=9"}) {
        SCOPED_TRACE(level);
        const std::string zip = dir.str() + "out" + level + ".zip";
        ASSERT_EQ(
            runTool({"7z", "a", "-tzip", "-mm=Deflate64", level, zip, dir.str() + "mixed.bin"})
                .status,
            0);
        auto entries = readRawZipEntries(readFile(zip));
        ASSERT_TRUE(entries && entries->size() == 1);
        ASSERT_EQ(entries->front().method, 9);
        auto out = decodeEntry(kMake, entries->front(), 3);
        ASSERT_FALSE(out.error) << *out.error;
        EXPECT_TRUE(out.bytes == original);
    }
}

// Hand-made blocks (bits listed first bit first, packed LSB-first as Deflate sends them).
std::string packBits(const std::string& bits) {
    std::string out;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (i % 8 == 0) out += '\0';
        if (bits[i] == '1') out.back() = static_cast<char>(out.back() | (1 << (i % 8)));
    }
    return out;
}

TEST(Deflate64, CorruptStreamsFailWithAClearMessage) {
    struct Case {
        const char* name;
        std::string data;
        std::uint64_t size;
        const char* message;
    };
    const Case cases[] = {
        {"block type 3", packBits("111"), 10, "Deflate64: invalid block type 3"},
        {"stored length vs complement", std::string("\x01\x05\x00\x00\x00", 5), 5,
         "Deflate64: stored block length does not match its complement"},
        {"stored block cut short",
         std::string("\x01\x05\x00\xFA\xFF"
                     "ab",
                     7),
         5, "Deflate64: the compressed data ends in the middle of a block"},
        // Fixed block: literal 'a' (00110000 + 0x61 -> 10010001), then length 3 (0000001) and
        // distance code 1 (00001 = 2) although only one byte exists.
        {"distance before the start",
         packBits("110"
                  "10010001"
                  "0000001"
                  "00001"
                  "0000000"),
         10, "Deflate64: a match reaches before the start of the data"},
        {"empty input", "", 1, "Deflate64: the compressed data ends in the middle of a block"},
        // A final fixed block holding only its end code, but the entry claims one byte.
        {"stream shorter than the size",
         packBits("110"
                  "0000000"),
         1, "Deflate64: the compressed data ends after 0 of 1 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        archive::DecoderParams p;
        p.method = 9;
        p.uncompressedSize = c.size;
        auto out = decodeAll(kMake, p, c.data);
        ASSERT_TRUE(out.error);
        EXPECT_EQ(*out.error, c.message);
    }
}

TEST(Deflate64, StopsAtTheEntrySizeAndDecodesLength285) {
    // Fixed block: literal 'x', then code 285 (11000101) with 16 extra bits = 65535-3 ... here
    // 997 (length 1000), distance code 0 (00000 = 1): 1001 bytes of 'x'; the entry says 600.
    std::string bits =
        "110"
        "10101000"
        "11000101";
    for (int i = 0; i < 16; ++i) bits += ((997 >> i) & 1) ? '1' : '0';
    bits +=
        "00000"
        "0000000";
    archive::DecoderParams p;
    p.method = 9;
    p.uncompressedSize = 1001;
    auto full = decodeAll(kMake, p, packBits(bits), 5);
    ASSERT_FALSE(full.error) << *full.error;
    EXPECT_EQ(full.bytes, std::string(1001, 'x'));
    p.uncompressedSize = 600;
    auto cut = decodeAll(kMake, p, packBits(bits), 5);
    ASSERT_FALSE(cut.error) << *cut.error;
    EXPECT_EQ(cut.bytes, std::string(600, 'x'));
}

}  // namespace
