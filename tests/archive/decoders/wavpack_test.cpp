#include "archive/decoders/wavpack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/archive/decoders/decode_helpers.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

const DecoderMaker kMake = archive::makeWavPackDecoder;

void put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A RIFF WAVE file: PCM of the given width and channels, and a LIST chunk after the data
// (which WavPack keeps as the trailing wrapper).
std::string makeWav(unsigned bits, unsigned channels, unsigned frames) {
    std::string data;
    const unsigned bytes = bits / 8;
    for (unsigned i = 0; i < frames; ++i) {
        for (unsigned c = 0; c < channels; ++c) {
            const double x =
                std::sin(i * (0.01 + 0.013 * c)) * 0.6 + ((i * 7919u + c) % 101) / 500.0;
            const auto v = static_cast<std::int32_t>(x * ((1u << (bits - 1)) - 1));
            const std::uint32_t u =
                bits == 8 ? static_cast<std::uint32_t>(v + 128) : static_cast<std::uint32_t>(v);
            for (unsigned b = 0; b < bytes; ++b) data += static_cast<char>((u >> (8 * b)) & 0xFF);
        }
    }
    const std::string list =
        std::string("LIST") + std::string("\x0c\x00\x00\x00INFOICMT\x00\x00\x00\x00", 16);
    std::string wav = "RIFF";
    put32(wav, static_cast<std::uint32_t>(4 + 24 + 8 + data.size() + list.size()));
    wav += "WAVEfmt ";
    put32(wav, 16);
    put16(wav, 1);
    put16(wav, channels);
    put32(wav, 44100);
    put32(wav, 44100 * channels * bytes);
    put16(wav, channels * bytes);
    put16(wav, bits);
    wav += "data";
    put32(wav, static_cast<std::uint32_t>(data.size()));
    return wav + data + list;
}

// Method 97 stores the .wv file itself; the test packs what the wavpack tool writes.
TEST(WavPack, FilesCompressedByTheWavpackToolComeBackWhole) {
    if (!builtIn(kMake)) GTEST_SKIP() << "no WavPack in this build (libwavpack)";
    if (!haveTool("wavpack")) GTEST_SKIP() << "wavpack not installed";
    TempDir dir;
    struct Case {
        unsigned bits, channels, frames;
        const char* options;
    };
    const Case cases[] = {
        {16, 2, 200000, "-h"}, {8, 1, 30000, "-f"}, {24, 2, 50000, "-x"}, {16, 1, 1, "-h"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.channels) + " channels");
        const std::string wav = makeWav(c.bits, c.channels, c.frames);
        dir.write("in.wav", wav);
        std::filesystem::remove(dir.str() + "out.wv");
        ASSERT_EQ(runTool({"wavpack", "-q", "-y", c.options, dir.str() + "in.wav", "-o",
                           dir.str() + "out.wv"})
                      .status,
                  0);
        RawZipEntry entry;
        entry.method = 97;
        entry.data = readFile(dir.str() + "out.wv");
        entry.compressedSize = entry.data.size();
        entry.uncompressedSize = wav.size();
        auto out = decodeEntry(kMake, entry, 11);
        ASSERT_FALSE(out.error) << *out.error;
        EXPECT_TRUE(out.bytes == wav);
    }
}

TEST(WavPack, CorruptStreamsFailWithAClearMessage) {
    if (!builtIn(kMake)) GTEST_SKIP() << "no WavPack in this build (libwavpack)";
    RawZipEntry entry;
    entry.method = 97;
    entry.uncompressedSize = 1000;
    entry.data = "this is not a WavPack stream at all, just text";
    entry.compressedSize = entry.data.size();
    auto out = decodeEntry(kMake, entry);
    ASSERT_TRUE(out.error);
    EXPECT_EQ(out.error->rfind("WavPack: cannot open the stream: ", 0), 0u) << *out.error;

    auto real = realEntries({97});
    if (real.empty()) return;
    RawZipEntry cut = real.front().raw;
    cut.data.resize(cut.data.size() / 2);
    auto half = decodeEntry(kMake, cut, 4);
    ASSERT_TRUE(half.error);
    EXPECT_EQ(half.error->rfind("WavPack: ", 0), 0u) << *half.error;
    EXPECT_LT(half.bytes.size(), cut.uncompressedSize);
}

}  // namespace
