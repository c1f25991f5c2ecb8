#include "core/sha1.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Vector {
    std::string input;
    const char* digest;
};

// FIPS 180-4 examples (NIST CSRC "SHA1.pdf": one block, two blocks) and the long message of
// FIPS 180-1 appendix C (a million 'a'); the empty message from the NIST byte-oriented vectors.
TEST(Sha1, FipsVectors) {
    const Vector vectors[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Vector& v : vectors) EXPECT_EQ(core::sha1Hex(v.input), v.digest) << v.input.size();
}

// Padding edges: messages whose length puts the length field in the same or the next block.
TEST(Sha1, PaddingBoundaries) {
    const Vector vectors[] = {
        {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
        {std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
        {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
    };
    for (const Vector& v : vectors) EXPECT_EQ(core::sha1Hex(v.input), v.digest) << v.input.size();
}

TEST(Sha1, StreamingInPiecesMatchesWhole) {
    std::string data;
    for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 13);
    const std::string whole = core::sha1Hex(data);
    for (std::size_t piece : {1u, 3u, 55u, 63u, 64u, 65u, 500u}) {
        core::Sha1 h;
        for (std::size_t i = 0; i < data.size(); i += piece)
            h.update(std::string_view(data).substr(i, piece));
        core::Sha1Digest d = h.finish();
        core::Sha1Digest e = core::sha1(data);
        EXPECT_EQ(d, e) << piece;
    }
    EXPECT_EQ(whole.size(), 40u);
}

}  // namespace
