// Ed25519 against RFC 8032 7.1 and SHA-256 against FIPS 180-2, through libgcrypt as we call it.
#include "trust/crypto.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> unhex(std::string_view h) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2)
        out.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(h.substr(i, 2)), nullptr, 16)));
    return out;
}

template <class A>
A fixed(std::string_view h) {
    A a{};
    const auto v = unhex(h);
    EXPECT_EQ(v.size(), a.size());
    std::copy_n(v.begin(), std::min(v.size(), a.size()), a.begin());
    return a;
}

std::span<const std::byte> bytesOf(const std::vector<std::uint8_t>& v) {
    return {reinterpret_cast<const std::byte*>(v.data()), v.size()};
}

struct Rfc8032Case {
    const char* name;
    const char* secret;
    const char* publicKey;
    const char* message;
    const char* signature;
};

const Rfc8032Case kRfc8032[] = {
    {"TEST 1", "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b"
     "46bd25bf5f0595bbe24655141438e7a100b"},
    {"TEST 2", "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11"
     "d8c387b2eaeb4302aeeb00d291612bb0c00"},
    {"TEST 3", "c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
     "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc"
     "6594a7c15e9716ed28dc027beceea1ec40a"},
};

TEST(Ed25519, Rfc8032VectorsDeriveSignAndVerify) {
    for (const Rfc8032Case& c : kRfc8032) {
        SCOPED_TRACE(c.name);
        const auto seed = fixed<trust::Seed>(c.secret);
        const auto key = fixed<trust::PublicKey>(c.publicKey);
        const auto sig = fixed<trust::Signature>(c.signature);
        const auto msg = unhex(c.message);
        EXPECT_EQ(trust::ed25519PublicKey(seed), key);
        EXPECT_EQ(trust::ed25519Sign(seed, bytesOf(msg)), sig);
        EXPECT_TRUE(trust::ed25519Verify(key, bytesOf(msg), sig));
    }
}

TEST(Ed25519, AnyChangedBitFailsVerification) {
    const Rfc8032Case& c = kRfc8032[2];
    const auto key = fixed<trust::PublicKey>(c.publicKey);
    const auto sig = fixed<trust::Signature>(c.signature);
    const auto msg = unhex(c.message);
    for (std::size_t bit = 0; bit < msg.size() * 8; ++bit) {
        auto m = msg;
        m[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_FALSE(trust::ed25519Verify(key, bytesOf(m), sig)) << "message bit " << bit;
    }
    for (std::size_t bit = 0; bit < sig.size() * 8; ++bit) {
        auto s = sig;
        s[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_FALSE(trust::ed25519Verify(key, bytesOf(msg), s)) << "signature bit " << bit;
    }
    for (std::size_t bit = 0; bit < key.size() * 8; ++bit) {
        auto k = key;
        k[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_FALSE(trust::ed25519Verify(k, bytesOf(msg), sig)) << "key bit " << bit;
    }
    // Another RFC key does not verify this signature.
    EXPECT_FALSE(
        trust::ed25519Verify(fixed<trust::PublicKey>(kRfc8032[0].publicKey), bytesOf(msg), sig));
}

TEST(Ed25519, SecondEncodingOfSWithTheGroupOrderAddedIsRejected) {
    // S + L is the same scalar modulo L; RFC 8032 5.1.7 rejects it so that signatures cannot be
    // altered into new valid ones.
    static constexpr std::uint8_t kL[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58,
                                            0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                                            0,    0,    0,    0,    0,    0,    0,    0,
                                            0,    0,    0,    0,    0,    0,    0,    0x10};
    int tried = 0;
    for (const Rfc8032Case& c : kRfc8032) {
        auto sig = fixed<trust::Signature>(c.signature);
        unsigned carry = 0;
        for (int i = 0; i < 32; ++i) {
            const unsigned v = sig[32 + i] + kL[i] + carry;
            sig[32 + i] = static_cast<std::uint8_t>(v);
            carry = v >> 8;
        }
        if (carry) continue;  // S + L does not fit in 32 bytes
        ++tried;
        EXPECT_FALSE(trust::ed25519Verify(fixed<trust::PublicKey>(c.publicKey),
                                          bytesOf(unhex(c.message)), sig))
            << c.name;
    }
    EXPECT_EQ(tried, 3);
}

TEST(Ed25519, RandomKeysSignAndVerifyWholeSignatures) {
    // Halves of the signature with leading zero bytes come back at their full 32 bytes: some of
    // 300 signatures have them.
    std::mt19937 rng(20240521);
    for (int i = 0; i < 300; ++i) {
        const trust::Seed seed = trust::randomSeed();
        std::vector<std::uint8_t> msg(rng() % 200);
        for (auto& b : msg) b = static_cast<std::uint8_t>(rng());
        const trust::Signature sig = trust::ed25519Sign(seed, bytesOf(msg));
        ASSERT_TRUE(trust::ed25519Verify(trust::ed25519PublicKey(seed), bytesOf(msg), sig)) << i;
    }
    EXPECT_NE(trust::randomSeed(), trust::randomSeed());
}

TEST(Sha256, Fips180Vectors) {
    struct Case {
        const char* name;
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"a million a", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto want = fixed<trust::Digest>(c.digest);
        EXPECT_EQ(trust::sha256(trust::asBytes(c.message)), want);
        // The same bytes in pieces of varying sizes.
        trust::Sha256 h;
        std::mt19937 rng(7);
        for (std::size_t at = 0; at < c.message.size();) {
            const std::size_t n = std::min<std::size_t>(c.message.size() - at, rng() % 5000);
            h.update(trust::asBytes(std::string_view(c.message).substr(at, n)));
            at += n;
        }
        EXPECT_EQ(h.finish(), want);
    }
}

}  // namespace
