// Entry names: the four rules in order of precedence, and the OEM/ANSI choice by letter sets.
#include "archive/zip_names.h"

#include <gtest/gtest.h>

#include "tests/support/zip_builder.h"

namespace {

using archive::CentralHeader;
using archive::decodeEntryName;

constexpr std::uint16_t kDos = 0x0014;   // MS-DOS host, version 2.0
constexpr std::uint16_t kUnix = 0x0314;  // Unix host
constexpr std::uint16_t kNtfs = 0x0B14;  // NTFS host

CentralHeader header(std::string raw, std::uint16_t madeBy, std::uint16_t flags = 0,
                     std::string extra = "") {
    CentralHeader h;
    h.rawName = std::move(raw);
    h.versionMadeBy = madeBy;
    h.flags = flags;
    h.extra = std::move(extra);
    return h;
}

TEST(EntryNames, RulesInOrderOfPrecedence) {
    using testsupport::infoZipUnicodePath;
    using testsupport::xceedUnicode;
    const std::string caffe = "Caff\xC3\xA8.txt";  // Caffè.txt in UTF-8
    const std::string utf16 = std::string("C\0a\0f\0\xE9\0", 8);
    struct Case {
        const char* name;
        CentralHeader h;
        std::string want;
    } cases[] = {
        {"UTF-8 flag", header(caffe, kDos, 0x0800), caffe},
        {"valid UTF-8 with a high byte, no flag", header(caffe, kDos), caffe},
        {"UTF-8 flag on invalid bytes keeps the text valid", header("a\xFF", kDos, 0x0800),
         "a\xEF\xBF\xBD"},
        {"0x7075 with the raw name's CRC",
         header("Caff\x8A.txt", kDos, 0, infoZipUnicodePath("Caff\x8A.txt", caffe)), caffe},
        {"stale 0x7075 is ignored",
         header("Caff\x8A.txt", kDos, 0, infoZipUnicodePath("Caff\x8A.txt", "x", true)),
         "Caff\xC3\xA8.txt"},
        {"0x7075 of version 2 is ignored",
         header("e\x82", kDos, 0,
                testsupport::extraBlock(0x7075, "\x02" + testsupport::le32(0) + "zz")),
         "e\xC3\xA9"},
        {"0x554E Xceed UTF-16", header("Caf\x90", kDos, 0, xceedUnicode(utf16, 4)), "Caf\xC3\xA9"},
        {"0x554E with a wrong count is ignored", header("Caf\x90", kDos, 0, xceedUnicode(utf16, 5)),
         "Caf\xC3\x89"},
        {"0x7075 wins over 0x554E",
         header("x\x82", kDos, 0, xceedUnicode(utf16, 4) + infoZipUnicodePath("x\x82", "seven")),
         "seven"},
        // MS-DOS host: always the OEM code page (850 here).
        {"CP850 name from a DOS host", header("\x8E\x99\x9A.TXT", kDos),
         "\xC3\x84\xC3\x96\xC3\x9C.TXT"},
        {"CP850-only letter from a DOS host", header("\xD0", kDos), "\xC3\xB0"},
        {"plain ASCII", header("dir/file.txt", kUnix), "dir/file.txt"},
        // Other hosts: OEM only when the name looks OEM-encoded.
        {"Unix host, OEM letters that are not all ANSI letters",
         header("\x84"
                "berfl\x81ssig",
                kUnix),
         "\xC3\xA4"
         "berfl\xC3\xBC"
         "ssig"},
        {"NTFS host, a non-letter OEM byte means ANSI", header("\xC9t\xE9", kNtfs),
         "\xC3\x89t\xC3\xA9"},
        {"NTFS host, letters in both code pages mean ANSI", header("\xE9t\xE9", kNtfs),
         "\xC3\xA9t\xC3\xA9"},
        {"DOS host, the same bytes are OEM", header("\xE9t\xE9", kDos), "\xC3\x9At\xC3\x9A"},
        {"Unix host, a non-letter OEM byte means ANSI", header("\xD6\xD0\xCE\xC4", kUnix),
         "\xC3\x96\xC3\x90\xC3\x8E\xC3\x84"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeEntryName(c.h), c.want);
    }
}

TEST(EntryNames, OemCodePageFollowsTheSystemPair) {
    const CentralHeader h = header("\x9B", kDos);  // CP437 cent sign, CP850 o with stroke
    EXPECT_EQ(decodeEntryName(h, {1252, 437}), "\xC2\xA2");
    EXPECT_EQ(decodeEntryName(h, {1252, 850}), "\xC3\xB8");
    // When the two code pages are the same, every name is read in it.
    EXPECT_EQ(decodeEntryName(h, {1252, 1252}), "\xE2\x80\xBA");
}

TEST(EntryNames, LooseUtf8AsTheExtractorDefinesIt) {
    struct Case {
        std::string raw;
        bool valid;
    } cases[] = {
        {"ascii", true},
        {"\xC3\xA8", true},
        {"\xE2\x82\xAC", true},
        {"\xF0\x9F\x98\x8A", true},
        {"\xC1\xBF", false},
        {"\xC3", false},
        {"\xC3\x41", false},
        {"\xF5\x80\x80\x80", false},
        {"\x80", false},
        {"\xE0\x80\x80", true},  // overlong, but the lead/continuation shape holds
    };
    for (const auto& c : cases) EXPECT_EQ(archive::isLooseUtf8(c.raw), c.valid) << c.raw;
}

TEST(EntryNames, NameWithoutHighBytesNeverLooksOem) {
    EXPECT_FALSE(archive::looksOemEncoded("plain.txt", {}));
    EXPECT_TRUE(archive::looksOemEncoded("\x81", {1252, 850}));
    EXPECT_FALSE(archive::looksOemEncoded("\x81", {1252, 1252}));  // not an OEM code page
}

}  // namespace
