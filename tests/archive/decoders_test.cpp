// The decoders of methods 0, 8, 12 and 14 over data compressed by Info-ZIP zip and 7-Zip, fed
// in random-size pieces; truncated and corrupt data; never more than the entry's size.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive/decoders/decoder.h"
#include "archive_test_util.h"

namespace {

using archive::DecodeError;
using archive::DecoderParams;

// Gives the bytes in pieces of 1..maxPiece, chosen by the seed.
class PieceSource final : public archive::ByteSource {
  public:
    PieceSource(std::string data, std::size_t maxPiece, unsigned seed)
        : m_data(std::move(data)), m_max(maxPiece), m_rng(seed) {}
    core::Result<std::size_t, DecodeError> read(std::span<std::byte> buf) override {
        std::size_t n = std::min({buf.size(), m_data.size() - m_pos, 1 + m_rng() % m_max});
        std::copy_n(reinterpret_cast<const std::byte*>(m_data.data() + m_pos), n, buf.data());
        m_pos += n;
        return n;
    }

  private:
    std::string m_data;
    std::size_t m_pos = 0;
    std::size_t m_max;
    std::mt19937 m_rng;
};

struct Decoded {
    std::string out;
    std::string error;
};

Decoded decodeAll(const DecoderParams& p, const std::string& packed, std::size_t maxPiece,
                  unsigned seed) {
    PieceSource src(packed, maxPiece, seed);
    auto dec = archive::makeDecoder(p, src);
    if (!dec) return {"", "unsupported"};
    Decoded r;
    std::mt19937 rng(seed + 7);
    std::vector<std::byte> buf(70000);
    for (;;) {
        const std::size_t want = 1 + rng() % buf.size();
        auto n = dec->read(std::span(buf).first(want));
        if (!n) {
            r.error = n.error().message;
            return r;
        }
        if (*n == 0) return r;
        if (*n > want) {
            r.error = "decoder overran its buffer";
            return r;
        }
        r.out.append(reinterpret_cast<const char*>(buf.data()), *n);
    }
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
        EXPECT_EQ(d.error, "") << "pieces up to " << piece;
        EXPECT_TRUE(d.out == plain) << "pieces up to " << piece << ": " << d.out.size() << " bytes";
    }

    // An entry that claims fewer bytes gets exactly that many.
    DecoderParams shorter = paramsOf(entry.header);
    shorter.uncompressedSize = 1000;
    const Decoded cut = decodeAll(shorter, entry.data, 4096, 4);
    EXPECT_EQ(cut.error, "");
    EXPECT_EQ(cut.out, plain.substr(0, 1000));

    // Compressed data cut short is an error, never a quiet short file.
    const Decoded truncated =
        decodeAll(paramsOf(entry.header), entry.data.substr(0, entry.data.size() / 2), 4096, 5);
    EXPECT_NE(truncated.error, "");
    EXPECT_LT(truncated.out.size(), plain.size());
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
        EXPECT_NE(d.error, "");
        EXPECT_NE(d.error, "unsupported");
    }
}

TEST(Decoders, StoredDataShorterThanItsSize) {
    const Decoded d = decodeAll({0, 0, 5, 10}, "12345", 2, 1);
    EXPECT_EQ(d.error, "Stored data shorter than its size");
    EXPECT_EQ(d.out, "12345");
}

TEST(Decoders, MethodsWithoutADecoderGiveNone) {
    PieceSource src("", 1, 1);
    for (std::uint16_t m : {7, 10, 11, 13, 15, 16, 18, 19, 20, 95, 96, 99, 128, 65535})
        EXPECT_EQ(archive::makeDecoder({m, 0, 0, 1}, src), nullptr) << m;
    for (std::uint16_t m : {0, 8, 12, 14})
        EXPECT_NE(archive::makeDecoder({m, 0, 0, 1}, src), nullptr) << m;
}

}  // namespace
