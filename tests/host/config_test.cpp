#include "host/config.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

const std::string kMarker = "\xC3\xBF";  // U+00FF in UTF-8

TEST(Descramble, PlainAndShortTexts) {
    struct {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"empty", "", ""},
        {"no marker: plain", "abc", "abc"},
        {"marker later in the text: plain", "a" + kMarker, "a" + kMarker},
        {"marker alone", kMarker, ""},
        {"codes 0x60 0x60 0x60", kMarker + "```", "abc"},
        // U+0101 at position 1 gives U+0100; codes above 0xFF keep their high byte.
        {"16-bit codes", kMarker + "\xC4\x81", "\xC4\x80"},
    };
    for (const auto& c : cases) EXPECT_EQ(host::Descramble(c.in), c.out) << c.name;
}

TEST(Descramble, UsesFullPositionsAbove16) {
    // A 20-character value: the marker and 19 scrambled characters.
    const std::string plain = "ABCDEFGHIJKLMNOPQRS";
    std::string scrambled = kMarker;
    for (std::size_t i = 1; i <= plain.size(); ++i)
        scrambled += static_cast<char>(plain[i - 1] ^ static_cast<int>(i));
    ASSERT_EQ(scrambled.size(), kMarker.size() + 19);
    // The 17th character 'Q' (0x51) is stored as 0x51 ^ 17 = '@', not 0x51 ^ 1 = 'P'.
    EXPECT_EQ(scrambled[kMarker.size() + 16], '@');
    EXPECT_EQ(host::Descramble(scrambled), plain);
}

TEST(Descramble, InvertsScramble) {
    for (std::string plain : {"", "root",
                              "p\xC3\xA0ss w\xE2\x82\xAC"
                              "rd",
                              "0123456789abcdefghij!"})
        EXPECT_EQ(host::Descramble(host::Scramble(plain)), plain) << plain;
    EXPECT_TRUE(host::Scramble("x").starts_with(kMarker));
}

TEST(Descramble, BuiltInDefaultIsScrambled) {
    ASSERT_TRUE(host::kDefaultRootPass.starts_with(kMarker));
    std::string plain = host::Descramble(host::kDefaultRootPass);
    EXPECT_FALSE(plain.empty());
    EXPECT_NE(plain, std::string(host::kDefaultRootPass));
}

TEST(ReadConfig, TakesServerAndDescrambledRootPass) {
    TempDir dir;
    // Windows-1252 on disk: the marker is the single byte 0xFF.
    dir.write("config.ini",
              "[MySQL]\r\nSERVER=db.local\r\nUSER=x\r\nRootPass=\xFF```\r\nPORT=3307\r\n");
    auto s = host::ReadConfig(dir.str());
    EXPECT_EQ(s.Server, "db.local");
    EXPECT_EQ(s.RootPass, "abc");
}

TEST(ReadConfig, DefaultsAndEmptyValues) {
    TempDir dir;
    dir.write("config.ini", "[mysql]\nserver=\n");
    auto s = host::ReadConfig(dir.str());
    EXPECT_EQ(s.Server, "");  // present but empty: not "localhost"
    EXPECT_EQ(s.RootPass, host::Descramble(host::kDefaultRootPass));

    dir.write("config.ini", "[Other]\nSERVER=x\nRootPass=plain\n");
    s = host::ReadConfig(dir.str());
    EXPECT_EQ(s.Server, "localhost");
    EXPECT_EQ(s.RootPass, host::Descramble(host::kDefaultRootPass));

    dir.write("config.ini", "[MySQL]\nRootPass=plain pass\n");
    EXPECT_EQ(host::ReadConfig(dir.str()).RootPass, "plain pass");
}

}  // namespace
