// The decoders of methods 0, 8, 12 and 14 over data compressed by Info-ZIP zip and 7-Zip, fed
// in random-size pieces; truncated and corrupt data; never more than the entry's size.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive/decoders/decoder.h"
#include "tests/archive/archive_test_util.h"
#include "tests/archive/decoders/decode_helpers.h"

namespace {

using archive::DecoderParams;
using testsupport::Decoded;

const testsupport::DecoderMaker kRegistry = archive::makeDecoder;

Decoded decodeAll(const DecoderParams& p, const std::string& packed, std::size_t maxPiece,
                  unsigned seed) {
    return testsupport::decodeAll(kRegistry, p, packed, seed, maxPiece);
}

DecoderParams paramsOf(const archive::CentralHeader& h) {
    return {h.method, h.flags, h.compressedSize, h.uncompressedSize};
}

struct ToolCase {
    const char* name;
    const char* tool;
    const char* command;  // makes out.zip from in.bin
    std::uint16_t method;
};

const ToolCase kToolCases[] = {
    {"zip store", "zip", "zip -q -0 out.zip in.bin", 0},
    {"zip deflate", "zip", "zip -q -9 out.zip in.bin", 8},
    {"zip bzip2", "zip", "zip -q -Z bzip2 out.zip in.bin", 12},
    {"7z deflate", "7z", "7z a -bd -tzip -mm=Deflate out.zip in.bin", 8},
    {"7z bzip2", "7z", "7z a -bd -tzip -mm=BZip2 out.zip in.bin", 12},
    {"7z lzma", "7z", "7z a -bd -tzip -mm=LZMA out.zip in.bin", 14},
};

class DecodersFromTools : public ::testing::TestWithParam<ToolCase> {};

TEST_P(DecodersFromTools, DecodeInPiecesAndStopAtTheSize) {
    const ToolCase& c = GetParam();
    QL_REQUIRE_TOOL(c.tool);
    testsupport::TempDir dir;
    const std::string plain = archtest::sampleContent(300000);
    dir.write("in.bin", plain);
    archtest::runIn(dir, c.command);
    const auto entry = archtest::firstEntry(testsupport::readFile(dir.path() / "out.zip"));
    ASSERT_EQ(entry.header.method, c.method);

    for (auto [piece, seed] : {std::pair{65536U, 1U}, {1000U, 2U}, {1U, 3U}}) {
        if (piece == 1U && entry.data.size() > 200000)
            continue;  // one byte at a time only for small data
        const Decoded d = decodeAll(paramsOf(entry.header), entry.data, piece, seed);
        EXPECT_EQ(d.error, std::nullopt) << "pieces up to " << piece;
        EXPECT_TRUE(d.bytes == plain)
            << "pieces up to " << piece << ": " << d.bytes.size() << " bytes";
    }

    // An entry that claims fewer bytes gets exactly that many.
    DecoderParams shorter = paramsOf(entry.header);
    shorter.uncompressedSize = 1000;
    const Decoded cut = decodeAll(shorter, entry.data, 4096, 4);
    EXPECT_EQ(cut.error, std::nullopt);
    EXPECT_EQ(cut.bytes, plain.substr(0, 1000));

    // Compressed data cut short is an error, never a quiet short file.
    const Decoded truncated =
        decodeAll(paramsOf(entry.header), entry.data.substr(0, entry.data.size() / 2), 4096, 5);
    EXPECT_NE(truncated.error, std::nullopt);
    EXPECT_LT(truncated.bytes.size(), plain.size());
}

INSTANTIATE_TEST_SUITE_P(Tools, DecodersFromTools, ::testing::ValuesIn(kToolCases),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             std::replace(n.begin(), n.end(), ' ', '_');
                             return n;
                         });

TEST(Decoders, CorruptDataIsAnError) {
    struct Case {
        const char* name;
        std::uint16_t method;
        std::string data;
    } cases[] = {
        {"deflate block type 3", 8, std::string("\x07\x00", 2)},
        {"bzip2 without its magic", 12, "BZx9garbagegarbagegarbage"},
        {"bzip2 bad block header", 12, "BZh91AY&SX" + std::string(40, '\x55')},
        {"lzma properties size not 5", 14,
         std::string("\x09\x14\x04\x00\x5d\x00\x00\x01\x00", 9) + "xxxx"},
        {"lzma bad lc/lp/pb byte", 14,
         std::string("\x09\x14\x05\x00\xff\x00\x00\x01\x00", 9) + "xxxx"},
        {"lzma dictionary of 4 GiB", 14,
         std::string("\x09\x14\x05\x00\x5d\xff\xff\xff\xff", 9) + "xxxx"},
        {"lzma header cut short", 14, std::string("\x09\x14\x05", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = decodeAll({c.method, 0, c.data.size(), 100}, c.data, 3, 9);
        ASSERT_NE(d.error, std::nullopt);
        EXPECT_NE(*d.error, "no decoder");
    }
}

TEST(Decoders, StoredDataShorterThanItsSize) {
    const Decoded d = decodeAll({0, 0, 5, 10}, "12345", 2, 1);
    EXPECT_EQ(d.error, "Stored data shorter than its size");
    EXPECT_EQ(d.bytes, "12345");
}

TEST(Decoders, MethodsWithoutADecoderGiveNone) {
    testsupport::PieceSource src("", 1);
    for (std::uint16_t m : {7, 10, 11, 13, 15, 16, 18, 19, 20, 95, 96, 99, 128, 65535})
        EXPECT_EQ(archive::makeDecoder({m, 0, 0, 1}, src), nullptr) << m;
    for (std::uint16_t m : {0, 8, 12, 14})
        EXPECT_NE(archive::makeDecoder({m, 0, 0, 1}, src), nullptr) << m;
}

}  // namespace
