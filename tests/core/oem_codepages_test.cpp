// The OEM and ANSI code pages: tables against known characters, and the letter sets derived by
// one rule reproduce the published sets of code pages 437 and 1252.
#include "core/oem_codepages.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::set<int> letters(int cp) {
    std::set<int> out;
    for (int b = 0x80; b < 0x100; ++b)
        if (core::isCodePageLetter(cp, static_cast<std::uint8_t>(b))) out.insert(b);
    return out;
}

std::set<int> ranges(std::initializer_list<std::pair<int, int>> rs) {
    std::set<int> out;
    for (auto [a, b] : rs)
        for (int i = a; i <= b; ++i) out.insert(i);
    return out;
}

TEST(OemCodePages, PublishedLetterSetsOf437And1252) {
    EXPECT_EQ(letters(437), ranges({{0x80, 0x9A}, {0xA0, 0xA5}, {0xE0, 0xEB}, {0xED, 0xEE}}));
    EXPECT_EQ(letters(1252), ranges({{0x8A, 0x8A},
                                     {0x8C, 0x8C},
                                     {0x8E, 0x8E},
                                     {0x9A, 0x9A},
                                     {0x9C, 0x9C},
                                     {0x9E, 0x9F},
                                     {0xB5, 0xB5},
                                     {0xC0, 0xD6},
                                     {0xD8, 0xF6},
                                     {0xF8, 0xFF}}));
}

TEST(OemCodePages, LetterSetOf850ByTheSameRule) {
    EXPECT_EQ(letters(850), ranges({{0x80, 0x9B},
                                    {0x9D, 0x9D},
                                    {0xA0, 0xA5},
                                    {0xB5, 0xB7},
                                    {0xC6, 0xC7},
                                    {0xD0, 0xD8},
                                    {0xDE, 0xDE},
                                    {0xE0, 0xED}}));
}

TEST(OemCodePages, Tables) {
    struct Case {
        int cp;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {437, "\x80\x9E\xE1\xFF", "\xC3\x87\xE2\x82\xA7\xC3\x9F\xC2\xA0"},  // Ç ₧ ß nbsp
        {850, "\x9B\xD5\xEE", "\xC3\xB8\xC4\xB1\xC2\xAF"},                  // ø ı ¯
        {866, "\x80\xEF", "\xD0\x90\xD1\x8F"},                              // А я
        {852, "\xA5", "\xC4\x85"},                                          // ą
        {1252, "\x80\x81", "\xE2\x82\xAC\xC2\x81"},  // € and a hole kept as U+0081
        {850, "plain", "plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(core::singleByteToUtf8(c.cp, c.bytes), c.utf8) << c.cp;
}

TEST(OemCodePages, PairsAndKnownPages) {
    EXPECT_EQ(core::ansiPairOf(850), 1252);
    EXPECT_EQ(core::ansiPairOf(866), 1251);
    EXPECT_EQ(core::ansiPairOf(1252), 0);
    for (int cp : {437, 720, 737, 775, 850, 852, 855, 857, 862, 866, 1250, 1251, 1252, 1253, 1254,
                   1255, 1256, 1257})
        EXPECT_TRUE(core::hasSingleByteCodePage(cp)) << cp;
    EXPECT_FALSE(core::hasSingleByteCodePage(65001));
}

}  // namespace
