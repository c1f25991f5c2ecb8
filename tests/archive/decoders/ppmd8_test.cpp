#include "archive/decoders/ppmd8.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/archive/decoders/decode_helpers.h"
#include "tests/archive/decoders/sample_data.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

const DecoderMaker kMake = archive::makePpmdDecoder;

// 7-Zip picks the restoration method from the level (-mx=7 and up: cut-off); 1 MiB with order
// 16 on 3 MB of mixed data runs out of memory many times, so both restoration paths run.
TEST(Ppmd, EntriesWrittenBy7zMatchTheOriginal) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z (p7zip-full) not installed";
    TempDir dir;
    const std::string original =
        mixedSample(3'000'000, 21) + readFile(sourceDir() + "/archive/decoders/ppmd8_model.cpp");
    dir.write("mixed.bin", original);
    struct Case {
        const char* method;
        unsigned word;  // the parameter word 7-Zip is expected to write
    };
    const Case cases[] = {
        {"-mm=PPMd:o=2:mem=1m:x=5", 0x0001},  {"-mm=PPMd:o=16:mem=1m:x=5", 0x000F},
        {"-mm=PPMd:o=16:mem=1m:x=9", 0x100F}, {"-mm=PPMd:o=3:mem=1m:x=7", 0x1002},
        {"-mm=PPMd:o=6:mem=2m:x=9", 0x1015},  {"-mm=PPMd:x=5", 0x00F7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        const std::string zip = dir.str() + "out.zip";
        std::filesystem::remove(zip);
        ASSERT_EQ(runTool({"7z", "a", "-tzip", c.method, zip, dir.str() + "mixed.bin"}).status, 0);
        auto entries = readRawZipEntries(readFile(zip));
        ASSERT_TRUE(entries && entries->size() == 1);
        const auto& e = entries->front();
        ASSERT_EQ(e.method, 98);
        ASSERT_GE(e.data.size(), 2u);
        EXPECT_EQ(static_cast<unsigned char>(e.data[0]) | static_cast<unsigned char>(e.data[1])
                                                              << 8,
                  c.word);
        auto out = decodeEntry(kMake, e, 9);
        ASSERT_FALSE(out.error) << *out.error;
        EXPECT_TRUE(out.bytes == original);
    }
}

TEST(Ppmd, BadParametersAndCutDataFailWithAClearMessage) {
    std::string valid;
    {
        auto entries = realEntries({98});
        if (entries.empty()) GTEST_SKIP() << "shared test archives absent";
        for (const auto& e : entries)
            if (e.raw.data.size() > valid.size() && e.raw.uncompressedSize < 100000)
                valid = e.raw.data;
    }
    struct Case {
        const char* name;
        std::string data;
        const char* message;
    };
    const Case cases[] = {
        {"order 1", std::string("\x00\x00\x00\x00\x00\x00", 6),
         "PPMd: model order 1 is below the minimum of 2"},
        {"freeze", std::string("\x05\x20\x00\x00\x00\x00", 6),
         "PPMd: restoration method 2 is not supported"},
        {"no parameter word", std::string("\x05"), "PPMd: the compressed data ends early"},
        {"range coder start", std::string("\x05\x00\xFF\xFF\xFF\xFF", 6),
         "PPMd: invalid start of the range-coded data"},
        {"cut in half", valid.substr(0, valid.size() / 2), "PPMd: the compressed data ends early"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        archive::DecoderParams p;
        p.method = 98;
        p.uncompressedSize = 1'000'000;
        auto out = decodeAll(kMake, p, c.data);
        ASSERT_TRUE(out.error);
        EXPECT_EQ(*out.error, c.message);
    }
}

}  // namespace
