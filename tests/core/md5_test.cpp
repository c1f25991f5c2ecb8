#include "core/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Vector {
    const char* input;
    const char* digest;
};

// RFC 1321 A.5 test suite.
const Vector kRfc1321[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, Rfc1321Suite) {
    for (const Vector& v : kRfc1321) EXPECT_EQ(core::Md5Hex(v.input), v.digest) << v.input;
}

TEST(Md5, UpperCaseDigits) {
    EXPECT_EQ(core::Md5Hex("abc", true), "900150983CD24FB0D6963F7D28E17F72");
}

TEST(Md5, StreamingInPiecesMatchesWhole) {
    std::string data;
    for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7);
    for (std::size_t piece : {1u, 3u, 63u, 64u, 65u, 127u, 500u}) {
        core::Md5 h;
        for (std::size_t i = 0; i < data.size(); i += piece)
            h.update(std::string_view(data).substr(i, piece));
        auto d = h.finish();
        EXPECT_EQ(core::toHex(d.data(), d.size()), core::Md5Hex(data)) << piece;
    }
}

}  // namespace
