#include "core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using core::Endian;

TEST(Windows1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string utf8 = core::cp1252ToUtf8(all);
    EXPECT_TRUE(core::isValidUtf8(utf8));
    EXPECT_EQ(core::utf8ToCp1252(utf8), all);
}

TEST(Windows1252, HighBytesAndHoles) {
    EXPECT_EQ(core::cp1252ToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(core::cp1252ToUtf8("\x9F"), "\u0178");
    EXPECT_EQ(core::cp1252ToUtf8("\xE8"), "\u00E8");
    // The five unassigned bytes map to the C1 control of the same number, as Windows does.
    for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(core::codePageToUnicode(core::CodePage::Windows1252, b), char32_t(b));
    EXPECT_EQ(core::utf8ToCp1252("\u4E2D"), "?");
}

TEST(Latin1, EveryByteIsItsCodePoint) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::u32string cps = core::utf8ToCodePoints(core::latin1ToUtf8(all));
    ASSERT_EQ(cps.size(), 256u);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(cps[b], char32_t(b));
    EXPECT_EQ(core::utf8ToLatin1("\u20AC"), "?");
}

TEST(Utf8, Validation) {
    struct Case { const char* name; std::string bytes; bool valid; };
    const std::vector<Case> cases = {
        {"ascii", "plain", true},
        {"two-byte", "Caff\xC3\xA8", true},
        {"four-byte", "\xF0\x9F\x98\x80", true},
        {"lone continuation", "\x80", false},
        {"overlong", "\xC0\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"truncated", "\xE2\x82", false},
    };
    for (const Case& c : cases) EXPECT_EQ(core::isValidUtf8(c.bytes), c.valid) << c.name;
}

TEST(Utf16, BothOrdersAndSurrogates) {
    std::string text = "A\u00E8\u20AC\U0001F600";
    for (Endian e : {Endian::Little, Endian::Big})
        EXPECT_EQ(core::utf16ToUtf8(core::utf8ToUtf16(text, e), e), text);
    EXPECT_EQ(core::utf16ToUtf8(std::string("\x00\xD8", 2), Endian::Little), "\uFFFD");
}

TEST(DecodeText, ByByteOrderMark) {
    EXPECT_EQ(core::decodeText(std::string_view("\xEF\xBB\xBFVE|1")), "VE|1");
    EXPECT_EQ(core::decodeText(std::string_view("\xFF\xFEV\0E\0", 6)), "VE");
    EXPECT_EQ(core::decodeText(std::string_view("\xFE\xFF\0V\0E", 6)), "VE");
    EXPECT_EQ(core::decodeText(std::string_view("\xFFV")), "\u00FFV");  // no BOM: Windows-1252
    EXPECT_EQ(core::decodeText(std::string_view("")), "");
}

TEST(SplitLines, AllThreeLineEnds) {
    using V = std::vector<std::string>;
    EXPECT_EQ(core::splitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(core::splitLines("a\r\n"), (V{"a"}));
    EXPECT_EQ(core::splitLines("a\n\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(core::splitLines("\r\r\n"), (V{"", ""}));
    EXPECT_EQ(core::splitLines(""), V{});
}

TEST(Trim, RemovesCodesUpToSpace) {
    EXPECT_EQ(core::Trim(" \t\x01VE|1 \r\n"), "VE|1");
    EXPECT_EQ(core::Trim("   "), "");
    EXPECT_EQ(core::Trim("a b"), "a b");
    EXPECT_EQ(core::TrimRightBelow("x;\r\n \x1f", 33), "x;");
}

TEST(SplitAt, HeadAndRest) {
    std::string t = "VE|2014a|x";
    EXPECT_EQ(core::SplitAt(t, '|'), "VE");
    EXPECT_EQ(t, "2014a|x");
    std::string none = "VE";
    EXPECT_EQ(core::SplitAt(none, '|'), "VE");
    EXPECT_EQ(none, "");
    std::string lead = "|v";
    EXPECT_EQ(core::SplitAt(lead, '|'), "");
    EXPECT_EQ(lead, "v");
}

TEST(VersionText, CodeUnitOrderProperPrefixFirst) {
    EXPECT_TRUE(core::VersionBefore("2013", "2013a"));
    EXPECT_FALSE(core::VersionBefore("2013a", "2013"));
    EXPECT_FALSE(core::VersionBefore("2014b", "2014b"));
    EXPECT_TRUE(core::VersionBefore("10", "9"));  // text order, not number order
    EXPECT_TRUE(core::VersionBefore("", "1"));
    EXPECT_TRUE(core::VersionBefore("B", "a"));   // case counts
    EXPECT_EQ(core::CompareVersionText("x", "x"), 0);
}

}  // namespace
