// The version file's lines: the old reader's rules for VE, and the release lines of a signed
// release with everything that is refused in them.
#include "trust/version_file.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionFile, VeLineAsTheUpdaterAlwaysReadIt) {
    const struct {
        const char* name;
        std::string body;
        std::optional<std::string> vid;
    } cases[] = {
        {"one line", "VE|2014c", "2014c"},
        {"blanks around the line", "  VE|2014c \t", "2014c"},
        {"blank before the bar is part of the key", "VE |2014c", std::nullopt},
        {"bar and nothing", "VE|", ""},
        {"key alone", "VE", ""},
        {"last line counts", "VE|a\r\nVE|b\r\n\r\n", "b"},
        {"lower case key", "ve|x", std::nullopt},
        {"release lines beside it", "SEQ|4\nVE|2014c\nSHA256|00\n", "2014c"},
        {"UTF-8 mark", "\xEF\xBB\xBFVE|x", "x"},
        {"CR alone ends a line", "NOTE|a\rVE|y", "y"},
        {"empty body", "", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(trust::latestVersionId(c.body), c.vid) << c.name;
}

constexpr const char* kDigest = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";

TEST(VersionFile, ReleaseLines) {
    const std::string body =
        std::string("VE|2014c\r\nSHA256|") + kDigest +
        "\r\nSIZE|123456\r\nSEQ|42\r\nEXPIRES|2030-02-28T23:59:59Z\r\nNOTE|x\r\n";
    auto f = trust::readReleaseFields(body);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->vid, "2014c");
    ASSERT_TRUE(f->sha256);
    EXPECT_EQ(trust::hexDigest(*f->sha256),
              "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
    EXPECT_EQ(f->size, 123456u);
    EXPECT_EQ(f->seq, 42u);
    EXPECT_EQ(f->expires, 1898553599);
    // Without release lines: nothing but VE.
    auto plain = trust::readReleaseFields("VE|x");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->sha256 || plain->size || plain->seq || plain->expires);
}

TEST(VersionFile, RefusedReleaseLines) {
    using K = trust::FieldError::Kind;
    const struct {
        const char* name;
        std::string body;
        K kind;
        const char* described;
    } cases[] = {
        {"SEQ twice", "SEQ|1\nSEQ|2", K::Repeated, "SEQ ripetuto"},
        {"SHA256 twice", std::string("SHA256|") + kDigest + "\nSHA256|" + kDigest, K::Repeated,
         "SHA256 ripetuto"},
        {"SEQ not a number", "SEQ|abc", K::Malformed, "SEQ|abc"},
        {"SEQ negative", "SEQ|-1", K::Malformed, "SEQ|-1"},
        {"SEQ with a sign", "SEQ|+1", K::Malformed, "SEQ|+1"},
        {"SEQ empty", "SEQ|", K::Malformed, "SEQ|"},
        {"SEQ above 2^63-1", "SEQ|9223372036854775808", K::Malformed, "SEQ|9223372036854775808"},
        {"SIZE with a blank inside", "SIZE|12 34", K::Malformed, "SIZE|12 34"},
        {"SIZE in hex", "SIZE|0x10", K::Malformed, "SIZE|0x10"},
        {"SHA256 one digit short", std::string("SHA256|") + std::string(kDigest).substr(1),
         K::Malformed, nullptr},
        {"SHA256 not hex", "SHA256|" + std::string(64, 'g'), K::Malformed, nullptr},
        {"EXPIRES without Z", "EXPIRES|2030-01-01T00:00:00", K::Malformed,
         "EXPIRES|2030-01-01T00:00:00"},
    };
    for (const auto& c : cases) {
        auto f = trust::readReleaseFields(c.body);
        ASSERT_FALSE(f) << c.name;
        EXPECT_EQ(f.error().kind, c.kind) << c.name;
        if (c.described) {
            EXPECT_EQ(f.error().describe(), c.described) << c.name;
        }
    }
    // The largest accepted values.
    auto big = trust::readReleaseFields("SEQ|9223372036854775807\nSIZE|0");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->seq, 9223372036854775807u);
    EXPECT_EQ(big->size, 0u);
}

TEST(VersionFile, UtcTimes) {
    const struct {
        const char* text;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {"1970-01-01T00:00:00Z", 0},
        {"2000-02-29T12:34:56Z", 951827696},
        {"2038-01-19T03:14:08Z", 2147483648},
        {"9999-12-31T23:59:59Z", 253402300799},
        {"1969-12-31T23:59:59Z", std::nullopt},
        {"2001-02-29T00:00:00Z", std::nullopt},
        {"2024-13-01T00:00:00Z", std::nullopt},
        {"2024-00-10T00:00:00Z", std::nullopt},
        {"2024-01-01T24:00:00Z", std::nullopt},
        {"2024-01-01T00:60:00Z", std::nullopt},
        {"2024-01-01T00:00:60Z", std::nullopt},
        {"2024-01-01 00:00:00Z", std::nullopt},
        {"2024-1-01T00:00:00Z", std::nullopt},
        {"2024-01-01T00:00:00+01:00", std::nullopt},
        {"2024-01-01T00:00:0xZ", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trust::parseUtcTime(c.text), c.seconds) << c.text;
        if (c.seconds) {
            EXPECT_EQ(trust::formatUtcTime(*c.seconds), c.text);
        }
    }
}

}  // namespace
