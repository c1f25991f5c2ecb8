// Every entry of the shared real-world archives that the answer key marks ok, for each of our
// own decoders: the key's size and CRC-32, with the input whole and in random-size pieces.
#include <gtest/gtest.h>

#include "archive/decoders/deflate64.h"
#include "archive/decoders/implode.h"
#include "archive/decoders/methods.h"
#include "archive/decoders/ppmd8.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "archive/decoders/wavpack.h"
#include "tests/archive/decoders/decode_helpers.h"

namespace {

using namespace testsupport;

struct Method {
    const char* name;
    DecoderMaker make;
    std::vector<int> methods;
};

const Method kMethods[] = {
    {"Shrink", archive::makeShrinkDecoder, {1}},
    {"Reduce", archive::makeReduceDecoder, {2, 3, 4, 5}},
    {"Implode", archive::makeImplodeDecoder, {6}},
    {"Deflate64", archive::makeDeflate64Decoder, {9}},
    {"BZip2", archive::makeBzip2Decoder, {12}},
    {"LZMA", archive::makeLzmaDecoder, {14}},
    {"WavPack", archive::makeWavPackDecoder, {97}},
    {"PPMd", archive::makePpmdDecoder, {98}},
};

class RealArchives : public ::testing::TestWithParam<Method> {};

TEST_P(RealArchives, ComeOutByteForByte) {
    const Method& m = GetParam();
    if (!builtIn(m.make)) GTEST_SKIP() << m.name << " is not in this build";
    const auto entries = realEntries(m.methods);
    if (entries.empty()) GTEST_SKIP() << "shared test archives absent";
    for (const auto& e : entries) {
        SCOPED_TRACE(e.row.archive + " " + e.row.entry);
        ASSERT_NE(std::find(m.methods.begin(), m.methods.end(), e.raw.method), m.methods.end())
            << e.raw.name;
        for (unsigned seed : {0u, 5u}) {
            const auto out = decodeEntry(m.make, e.raw, seed);
            ASSERT_FALSE(out.error) << *out.error;
            EXPECT_EQ(out.bytes.size(), e.row.size);
            EXPECT_EQ(crc32Of(out.bytes), e.row.crc32);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Decoders, RealArchives, ::testing::ValuesIn(kMethods),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
