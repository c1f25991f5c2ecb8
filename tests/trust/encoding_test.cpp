// Base64 (RFC 4648 10), the key files and the signature file: what reads, and what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trust/base64.h"
#include "trust/keys.h"
#include "trust/signature_file.h"

namespace {

std::vector<std::uint8_t> bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

TEST(Base64, Rfc4648VectorsBothWays) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(trust::base64Encode(bytes(plain)), encoded);
        EXPECT_EQ(trust::base64Decode(encoded), bytes(plain)) << encoded;
    }
    // All 256 byte values and both extra characters of the alphabet.
    std::vector<std::uint8_t> all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
    const std::string text = trust::base64Encode(all);
    EXPECT_NE(text.find('+'), std::string::npos);
    EXPECT_NE(text.find('/'), std::string::npos);
    EXPECT_EQ(trust::base64Decode(text), all);
}

TEST(Base64, OnlyTheCanonicalTextDecodes) {
    const struct {
        const char* name;
        const char* text;
    } refused[] = {
        {"length not a multiple of 4", "Zm9"},
        {"pad inside", "Zg==Zm8="},
        {"pad in the third place only", "Zm=v"},
        {"three pads", "Z==="},
        {"non-zero pad bits after one byte", "Zh=="},
        {"non-zero pad bits after two bytes", "Zm9="},
        {"URL-safe alphabet", "-_-_"},
        {"blank inside", "Zm9 v"},
        {"line break", "Zm9v\nYmFy"},
        {"high byte", "Zm9\xC3"},
    };
    for (const auto& c : refused) EXPECT_FALSE(trust::base64Decode(c.text)) << c.name;
}

// RFC 8032 TEST 1: seed and public key.
constexpr const char* kPublic1 = "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=";

TEST(Keys, PublicKeyLine) {
    const auto key = trust::parsePublicKey(kPublic1);
    ASSERT_TRUE(key);
    EXPECT_EQ((*key)[0], 0xd7);
    EXPECT_EQ((*key)[31], 0x1a);
    EXPECT_EQ(trust::formatPublicKey(*key), kPublic1);
    // As a file holds it, and as an INI value may carry blanks.
    EXPECT_EQ(trust::parsePublicKey(std::string(kPublic1) + "\r\n"), key);
    EXPECT_EQ(trust::parsePublicKey(std::string("  ") + kPublic1 + "\t"), key);
    const char* refused[] = {"", "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHUR==",
                             "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURoA", "not a key"};
    for (const char* text : refused) EXPECT_FALSE(trust::parsePublicKey(text)) << text;
}

TEST(Keys, PrivateKeyFileHoldsSeedAndItsPublicHalf) {
    const trust::PrivateKey made = trust::newPrivateKey();
    const std::string text = trust::formatPrivateKey(made);
    EXPECT_EQ(text.size(), 88u);
    trust::PrivateKeyError why{};
    const auto back = trust::parsePrivateKey(text + "\n", why);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->seed, made.seed);
    EXPECT_EQ(back->publicKey, made.publicKey);

    struct Case {
        const char* name;
        std::string text;
        trust::PrivateKeyError why;
    };
    trust::PrivateKey other = made;
    other.publicKey[5] ^= 1;
    const Case refused[] = {
        {"a public key", kPublic1, trust::PrivateKeyError::WrongLength},
        {"not base64", "private key!", trust::PrivateKeyError::NotBase64},
        {"halves that do not belong together", trust::formatPrivateKey(other),
         trust::PrivateKeyError::Mismatch},
    };
    for (const Case& c : refused) {
        trust::PrivateKeyError got{};
        EXPECT_FALSE(trust::parsePrivateKey(c.text, got)) << c.name;
        EXPECT_EQ(got, c.why) << c.name;
    }
}

TEST(SignatureFile, OneBase64LineOf64Bytes) {
    trust::Signature sig{};
    for (std::size_t i = 0; i < sig.size(); ++i) sig[i] = static_cast<std::uint8_t>(i * 7);
    const std::string text = trust::formatSignatureFile(sig);
    EXPECT_EQ(text.size(), 89u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(trust::parseSignatureFile(text), sig);
    const std::string line = text.substr(0, 88);
    EXPECT_EQ(trust::parseSignatureFile(line), sig);
    EXPECT_EQ(trust::parseSignatureFile(line + "\r\n"), sig);
    EXPECT_EQ(trust::parseSignatureFile(line + " \n\n"), sig);

    std::string raw(reinterpret_cast<const char*>(sig.data()), sig.size());
    const struct {
        const char* name;
        std::string text;
    } refused[] = {
        {"empty", ""},
        {"the raw 64 bytes", raw},
        {"a blank before it", " " + text},
        {"a second line", text + text},
        {"63 bytes", trust::base64Encode(std::span(sig).first(63))},
        {"an HTML error page", "<html><body>404 Not Found</body></html>\n"},
        {"a character changed into one outside the alphabet", "*" + text.substr(1)},
    };
    for (const auto& c : refused) EXPECT_FALSE(trust::parseSignatureFile(c.text)) << c.name;
}

}  // namespace
