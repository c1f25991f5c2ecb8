#include "archive/decoders/implode.h"

#include <gtest/gtest.h>

#include "tests/decoders/decode_helpers.h"

namespace {

using namespace testsupport;

const DecoderMaker kMake = archive::makeImplodeDecoder;

TEST(Implode, RealArchivesComeOutByteForByte) {
    auto entries = realEntries({6});
    if (entries.empty()) GTEST_SKIP() << "shared test archives absent";
    for (const auto& e : entries) {
        SCOPED_TRACE(e.row.archive + " " + e.row.entry);
        ASSERT_EQ(e.raw.method, 6) << e.raw.name;
        auto out = decodeEntry(kMake, e.raw, 3);
        ASSERT_FALSE(out.error) << *out.error;
        EXPECT_EQ(out.bytes.size(), e.row.size);
        EXPECT_EQ(crc32Of(out.bytes), e.row.crc32);
    }
}

}  // namespace
