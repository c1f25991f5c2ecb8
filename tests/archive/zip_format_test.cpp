// The container reader: the end record search as the extractor has always done it, the
// central directory read by the headers present, and extra blocks.
#include "archive/zip_format.h"

#include <gtest/gtest.h>

#include "core/byte_cursor.h"
#include "tests/support/zip_builder.h"

// Designated initializers leave the other fields of an entry at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using archive::EndRecordSearch;
using testsupport::le16;
using testsupport::le32;

// An end record with `count` entries, a central directory of `cdSize` bytes at `cdOffset`.
std::string endRecord(std::uint16_t commentLength, std::uint32_t cdOffset = 0,
                      std::uint16_t count = 0, std::uint32_t cdSize = 0) {
    return std::string("PK\x05\x06", 4) + le16(0) + le16(0) + le16(count) + le16(count) +
           le32(cdSize) + le32(cdOffset) + le16(commentLength);
}

struct Search {
    std::optional<std::uint64_t> at;
    int reads = 0;
    std::size_t largest = 0;
};

Search runSearch(const std::string& file) {
    EndRecordSearch s(file.size());
    Search r;
    while (auto w = s.next()) {
        ++r.reads;
        r.largest = std::max(r.largest, w->length);
        if ((r.at = s.test(core::asBytes(std::string_view(file).substr(w->start, w->length)))))
            break;
    }
    return r;
}

TEST(EndRecordSearch, FindsTheRecordWhereItIs) {
    const std::string filler(100000, 'x');
    struct Case {
        const char* name;
        std::string file;
        std::optional<std::uint64_t> at;
    } cases[] = {
        {"no comment: the fast path", filler + endRecord(0), filler.size()},
        {"short comment", filler + endRecord(5) + "hello", filler.size()},
        {"comment with trailing garbage still fits", filler + endRecord(3) + "abcdefgh",
         filler.size()},
        {"comment longer than the file's rest", filler + endRecord(50) + "short", std::nullopt},
        {"largest comment, found in a later window",
         filler + endRecord(65535) + std::string(65535, 'c'), filler.size()},
        {"record at the very start", endRecord(4) + "abcd", 0},
        {"file shorter than a record", "PK\x05\x06", std::nullopt},
        {"no signature anywhere", filler, std::nullopt},
        // Only the signature nearest the end of a window is tried: a fake one in the comment whose
        // length does not fit hides the real record of the same window.
        {"fake signature in the comment hides the record",
         endRecord(30) + std::string("PK\x05\x06", 4) + "\xFF\xFF" + std::string(24, 'z'),
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(runSearch(c.file).at, c.at);
    }
}

TEST(EndRecordSearch, ReadsOneRecordWithoutCommentAndGrowsWindowsToAtMost64K) {
    const Search fast = runSearch(std::string(300000, 'x') + endRecord(0));
    EXPECT_EQ(fast.reads, 1);
    EXPECT_EQ(fast.largest, 22U);
    const Search none = runSearch(std::string(300000, 'x'));
    EXPECT_EQ(none.largest, 65536U);
    EXPECT_FALSE(none.at);
}

TEST(EndRecordSearch, WindowsOverlapBy22BytesAndDouble) {
    EndRecordSearch s(10000);
    std::vector<std::pair<std::uint64_t, std::size_t>> got;
    while (auto w = s.next()) got.emplace_back(w->start, w->length);
    const std::vector<std::pair<std::uint64_t, std::size_t>> want = {
        {9978, 22}, {9488, 512}, {8486, 1024}, {6460, 2048}, {2386, 4096}, {0, 2408}};
    EXPECT_EQ(got, want);
}

TEST(CentralDirectory, ReadsTheHeadersPresentNotTheRecordedCount) {
    using testsupport::ZipEntrySpec;
    const std::string zip = testsupport::buildZip(
        {ZipEntrySpec{.name = "a", .data = "1"}, ZipEntrySpec{.name = "b", .data = "22"}},
        {.totalEntries = 0});
    auto dir = archive::readDirectory(core::asBytes(zip));
    ASSERT_TRUE(dir) << dir.error().message;
    ASSERT_EQ(dir->headers.size(), 2U);
    EXPECT_EQ(dir->headers[1].rawName, "b");
    EXPECT_EQ(dir->headers[1].uncompressedSize, 2U);
    EXPECT_EQ(dir->end.totalEntries, 0U);
}

TEST(CentralDirectory, RejectsBrokenDirectories) {
    const std::string good =
        testsupport::buildZip({testsupport::ZipEntrySpec{.name = "name.txt", .data = "x"},
                               testsupport::ZipEntrySpec{.name = "second", .data = "y"}});
    const std::size_t cd = good.find(std::string("PK\x01\x02", 4));
    const std::size_t cd2 = good.find(std::string("PK\x01\x02", 4), cd + 4);
    struct Case {
        const char* name;
        std::string zip;
        const char* message;
    } cases[] = {
        {"first header not at the recorded offset",
         good.substr(0, cd) + "PK\x01\x03" + good.substr(cd + 4),
         "no central directory header at its offset"},
        {"bad signature of a later header",
         good.substr(0, cd2) + "PK\x01\x03" + good.substr(cd2 + 4),
         "bad central directory header signature"},
        {"offset past the end record", good.substr(0, good.size() - 6) + le32(0x7FFFFFFF) + le16(0),
         "no central directory header at its offset"},
        {"name runs into the end record",
         good.substr(0, cd + 28) + le16(200) + good.substr(cd + 30),
         "central directory: short read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto dir = archive::readDirectory(core::asBytes(c.zip));
        ASSERT_FALSE(dir);
        EXPECT_NE(dir.error().message.find(c.message), std::string::npos) << dir.error().message;
    }
}

TEST(CentralDirectory, DataInFrontOfTheArchiveMovesEveryOffset) {
    const std::string zip = testsupport::buildZip(
        {testsupport::ZipEntrySpec{.name = "a", .data = "1"}}, {.prefix = "STUB"});
    auto dir = archive::readDirectory(core::asBytes(zip));
    ASSERT_TRUE(dir) << dir.error().message;
    EXPECT_EQ(dir->shift, 4);
}

TEST(LocalHeader, ChecksTheSignature) {
    const std::string zip =
        testsupport::buildZip({testsupport::ZipEntrySpec{.name = "abc", .extra = "XXXX"}});
    auto h = archive::parseLocalHeader(core::asBytes(zip).first(30), 0);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->nameLength, 3U);
    EXPECT_EQ(h->extraLength, 4U);
    std::string bad = zip;
    bad[3] = 5;
    EXPECT_FALSE(archive::parseLocalHeader(core::asBytes(bad).first(30), 0));
    EXPECT_FALSE(archive::parseLocalHeader(core::asBytes(zip).first(29), 0));
}

TEST(ExtraField, WalksBlocksAndStopsAtOneRunningPastTheEnd) {
    const std::string extra = testsupport::extraBlock(0x5455, "12345") +
                              testsupport::extraBlock(0x7875, "") + le16(0x0001) + le16(40) +
                              "short";
    std::vector<std::pair<std::uint16_t, std::string>> seen;
    archive::forEachExtraBlock(
        extra, [&](std::uint16_t id, std::string_view d) { seen.emplace_back(id, d); });
    const std::vector<std::pair<std::uint16_t, std::string>> want = {{0x5455, "12345"},
                                                                     {0x7875, ""}};
    EXPECT_EQ(seen, want);
}

}  // namespace
