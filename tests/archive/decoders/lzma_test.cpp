#include "archive/decoders/methods.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/archive/decoders/decode_helpers.h"
#include "tests/archive/decoders/sample_data.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

const DecoderMaker kMake = archive::makeLzmaDecoder;

// The ZIP LZMA header: version 16.4 of the SDK, 5 bytes of properties.
const std::string kZipHeader("\x10\x04\x05\x00", 4);

archive::DecoderParams paramsFor(std::size_t size, std::uint16_t flags = 2) {
    archive::DecoderParams p;
    p.method = 14;
    p.flags = flags;
    p.uncompressedSize = size;
    return p;
}

// The entry's data from a shell command run in dir on in.bin: 7-Zip writes the ZIP entry
// itself (out.zip); xz writes an .lzma file (out.lzma: 5 bytes of properties, 8 of size, then
// the same raw stream), which becomes the entry's data behind the ZIP header.
std::string packed(const TempDir& dir, const std::string& command) {
    if (runShell("cd " + shellQuote(dir.str()) + " && rm -f out.* && " + command) != 0) return {};
    if (std::filesystem::exists(dir.str() + "out.lzma")) {
        const std::string bytes = readFile(dir.str() + "out.lzma");
        return bytes.size() > 13 ? kZipHeader + bytes.substr(0, 5) + bytes.substr(13) : "";
    }
    auto entries = readRawZipEntries(readFile(dir.str() + "out.zip"));
    return entries && entries->size() == 1 && entries->front().method == 14 ? entries->front().data
                                                                            : std::string();
}

// Settings that reach the decoder's corners: every lc/lp/pb extreme (lc 8 is beyond what
// liblzma decodes), a 4 KiB dictionary that the window wraps around many times, the longest
// matches; 7-Zip ends its streams with a marker, xz's .lzma files too.
TEST(Lzma, StreamsOf7zAndXzMatchTheOriginal) {
    if (!haveTool("7z") || !haveTool("xz")) GTEST_SKIP() << "7z or xz not installed";
    TempDir dir;
    std::string original = mixedSample(600'000, 4) + std::string(100'000, 'r');
    for (int i = 0; i < 2000; ++i) original += "0123456789abcdef"[i % 16];
    dir.write("in.bin", original);
    struct Producer {
        const char* name;
        const char* command;
    };
    const Producer producers[] = {
        {"7z default", "7z a -tzip -mmt=1 -mm=LZMA out.zip in.bin >/dev/null"},
        {"7z lc8 lp0 pb0", "7z a -tzip -mmt=1 -mm=LZMA:lc=8:lp=0:pb=0 out.zip in.bin >/dev/null"},
        {"7z lc0 lp4 pb4, 4 KiB",
         "7z a -tzip -mmt=1 -mm=LZMA:lc=0:lp=4:pb=4:d=4k out.zip in.bin >/dev/null"},
        {"7z longest matches",
         "7z a -tzip -mmt=1 -mm=LZMA:d=64k:fb=273:mc=1000 out.zip in.bin >/dev/null"},
        {"xz lc4, 4 KiB",
         "xz --format=lzma --lzma1=preset=6,lc=4,lp=0,pb=0,dict=4KiB -c in.bin > out.lzma"},
        {"xz lp1 pb1", "xz --format=lzma --lzma1=preset=1,lc=1,lp=1,pb=1 -c in.bin > out.lzma"},
        {"xz extreme", "xz --format=lzma --lzma1=preset=9e,nice=273 -c in.bin > out.lzma"},
    };
    for (const auto& p : producers) {
        SCOPED_TRACE(p.name);
        const std::string data = packed(dir, p.command);
        ASSERT_FALSE(data.empty());
        for (unsigned seed : {0u, 3u}) {
            auto out = decodeAll(kMake, paramsFor(original.size()), data, seed);
            ASSERT_FALSE(out.error) << *out.error;
            EXPECT_TRUE(out.bytes == original) << out.bytes.size() << " bytes";
        }
    }
}

TEST(Lzma, DamagedStreamsFailWithAClearMessage) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z not installed";
    TempDir dir;
    std::string text;
    for (unsigned i = 0; text.size() < 20'000; ++i) text += std::to_string(i * 2654435761u) + " ";
    text.resize(20'000);
    dir.write("in.bin", text);
    const std::string good = packed(dir, "7z a -tzip -mm=LZMA out.zip in.bin >/dev/null");
    ASSERT_GT(good.size(), 100u);
    // After the header the range decoder starts with a 0 byte and 4 code bytes. The code
    // 0x80000000 makes the first symbol a match, which has nothing to refer to.
    const std::string head = kZipHeader + std::string("\x5D\x00\x00\x01\x00", 5);
    struct Case {
        const char* name;
        std::string data;
        std::size_t size;
        const char* message;
    };
    const Case cases[] = {
        {"header cut short", good.substr(0, 7), 100, "LZMA: the compressed data ends early"},
        {"properties of 4 bytes",
         kZipHeader.substr(0, 2) + std::string("\x04\x00", 2) + good.substr(4), 100,
         "LZMA: the properties are 4 bytes, not 5"},
        {"lc/lp/pb byte 225", head.substr(0, 4) + "\xE1" + good.substr(5), 100,
         "LZMA: invalid lc/lp/pb properties byte 225"},
        {"dictionary of 4 GiB", head.substr(0, 5) + "\xFF\xFF\xFF\xFF" + good.substr(9), 100,
         "LZMA: a dictionary of 4294967295 bytes is above the limit of 256 MiB"},
        {"first range byte not 0", head + std::string("\x01\x00\x00\x00\x00", 5) + "xxxx", 100,
         "LZMA: invalid start of the range-coded data"},
        {"code equal to the range", head + std::string("\x00\xFF\xFF\xFF\xFF", 5) + "xxxx", 100,
         "LZMA: invalid start of the range-coded data"},
        {"a match first", head + std::string("\x00\x80\x00\x00\x00", 5) + std::string(64, '\0'),
         100, "LZMA: a match reaches before the start of the data"},
        {"cut in half", good.substr(0, good.size() / 2), text.size(),
         "LZMA: the compressed data ends early"},
        {"end marker before the size", good, text.size() + 5,
         "LZMA: the compressed data ends after 20000 of 20005 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto out = decodeAll(kMake, paramsFor(c.size), c.data, 1);
        ASSERT_TRUE(out.error);
        EXPECT_EQ(*out.error, c.message);
    }
}

}  // namespace
