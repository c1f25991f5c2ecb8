// The checks made on every entry before extraction: a local header that describes another
// entry, and entries that claim the same bytes of the file.
#include "archive/entry_checks.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/zip_builder.h"

namespace {

using archive::CentralHeader;
using archive::EntrySpan;
using archive::LocalHeader;

CentralHeader central(std::string name, std::uint16_t method, std::uint32_t csize,
                      std::uint32_t usize) {
    CentralHeader h;
    h.rawName = std::move(name);
    h.method = method;
    h.compressedSize = csize;
    h.uncompressedSize = usize;
    return h;
}

LocalHeader local(std::uint16_t flags, std::uint16_t method, std::uint32_t csize,
                  std::uint32_t usize) {
    LocalHeader l;
    l.flags = flags;
    l.method = method;
    l.compressedSize = csize;
    l.uncompressedSize = usize;
    return l;
}

// APPNOTE 4.5.3: the ZIP64 block of a local header holds the uncompressed, then the compressed
// size.
std::string zip64(std::uint64_t usize, std::uint64_t csize) {
    return testsupport::extraBlock(0x0001,
                                   testsupport::le32(static_cast<std::uint32_t>(usize)) +
                                       testsupport::le32(static_cast<std::uint32_t>(usize >> 32)) +
                                       testsupport::le32(static_cast<std::uint32_t>(csize)) +
                                       testsupport::le32(static_cast<std::uint32_t>(csize >> 32)));
}

TEST(LocalHeaderCheck, AgreesOrSaysWhy) {
    const std::string other = "the local header names another entry";
    const std::string method = "the local header gives another method";
    const std::string sizes = "the local header gives other sizes";
    struct Case {
        const char* name;
        LocalHeader local;
        std::string localName;
        std::string localExtra;
        CentralHeader central;
        std::string why;  // "" when the headers agree
    } cases[] = {
        {"same", local(0, 8, 10, 20), "a.txt", "", central("a.txt", 8, 10, 20), ""},
        {"other name", local(0, 8, 10, 20), "b.txt", "", central("a.txt", 8, 10, 20), other},
        {"name cut short", local(0, 8, 10, 20), "a.tx", "", central("a.txt", 8, 10, 20), other},
        {"other method", local(0, 0, 10, 20), "a.txt", "", central("a.txt", 8, 10, 20), method},
        {"other compressed size", local(0, 8, 11, 20), "a.txt", "", central("a.txt", 8, 10, 20),
         sizes},
        {"other size", local(0, 8, 10, 2000), "a.txt", "", central("a.txt", 8, 10, 20), sizes},
        // Flag bit 3: zeros (Info-ZIP, 7-Zip) or only some sizes (bsdtar) before the data.
        {"sizes after the data", local(8, 8, 0, 0), "a.txt", "", central("a.txt", 8, 10, 20), ""},
        {"some sizes after the data", local(8, 8, 0, 20), "a.txt", "", central("a.txt", 8, 10, 20),
         ""},
        // Info-ZIP -fz and input from a pipe: 0xFFFFFFFF and the sizes in the ZIP64 block.
        {"ZIP64 sizes", local(0, 8, 0xFFFFFFFF, 0xFFFFFFFF), "a.txt", zip64(20, 10),
         central("a.txt", 8, 10, 20), ""},
        {"other ZIP64 sizes", local(0, 8, 0xFFFFFFFF, 0xFFFFFFFF), "a.txt", zip64(20, 11),
         central("a.txt", 8, 10, 20), sizes},
        {"ZIP64 marker without its block", local(0, 8, 0xFFFFFFFF, 0xFFFFFFFF), "a.txt", "",
         central("a.txt", 8, 10, 20), sizes},
        // Different bytes, the same name: a placeholder local name with a Unicode path that
        // names the entry, and a UTF-8 local name for a CP850 central one (DOS host).
        {"Unicode path names the entry", local(0, 8, 10, 20), "xx.txt",
         testsupport::infoZipUnicodePath("\x94.txt", "\xC3\xB6.txt"),
         central("\x94.txt", 8, 10, 20), ""},
        {"Unicode path names another", local(0, 8, 10, 20), "xx.txt",
         testsupport::infoZipUnicodePath("xx.txt", "\xC3\xA4.txt"), central("\x94.txt", 8, 10, 20),
         other},
        {"UTF-8 flag, same text", local(0x0800, 8, 10, 20), "\xC3\xB6.txt", "",
         central("\x94.txt", 8, 10, 20), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const char* why =
            archive::localHeaderMismatch(c.local, c.localName, c.localExtra, c.central);
        EXPECT_EQ(why ? std::string(why) : std::string(), c.why);
    }
}

std::vector<bool> overlaps(std::vector<EntrySpan> spans, std::uint64_t limit = 1000) {
    return archive::overlappingSpans(spans, limit);
}

TEST(EntrySpans, OverlapsAndTheDirectoryLimit) {
    struct Case {
        const char* name;
        std::vector<EntrySpan> spans;
        std::vector<bool> marked;
    } cases[] = {
        {"back to back", {{0, 50}, {50, 80}, {80, 100}}, {false, false, false}},
        {"out of order", {{80, 100}, {0, 50}, {50, 80}}, {false, false, false}},
        {"one stream, four headers",
         {{0, 50}, {0, 50}, {0, 50}, {0, 50}},
         {true, true, true, true}},
        {"data over the next header", {{0, 51}, {50, 80}, {80, 100}}, {true, true, false}},
        {"one long span over two", {{0, 100}, {10, 20}, {30, 40}}, {true, true, true}},
        {"the longest is not the first", {{0, 50}, {10, 100}, {60, 70}}, {true, true, true}},
        {"into the central directory", {{0, 50}, {50, 1001}}, {false, true}},
        {"no local header claims nothing", {{0, 50}, {10, 10}}, {false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(overlaps(c.spans), c.marked);
    }
}

// The sweep against the plain pairwise test on random layouts, dense enough that most spans
// touch several others.
TEST(EntrySpans, SweepAgreesWithEveryPair) {
    std::mt19937 rng(42);
    for (int round = 0; round < 300; ++round) {
        std::vector<EntrySpan> spans(1 + rng() % 12);
        for (auto& s : spans) {
            s.start = rng() % 200;
            s.end = s.start + rng() % 40;
        }
        std::vector<bool> expected(spans.size(), false);
        for (std::size_t i = 0; i < spans.size(); ++i) {
            expected[i] = spans[i].end > 200 && spans[i].end > spans[i].start;
            for (std::size_t j = 0; j < spans.size(); ++j) {
                const bool empty = spans[i].end == spans[i].start || spans[j].end == spans[j].start;
                if (i != j && !empty && spans[i].start < spans[j].end &&
                    spans[j].start < spans[i].end)
                    expected[i] = true;
            }
        }
        ASSERT_EQ(overlaps(spans, 200), expected) << "round " << round;
    }
}

}  // namespace
