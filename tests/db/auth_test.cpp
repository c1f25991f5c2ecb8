#include "db/auth.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "db/mysql_protocol.h"

namespace {

std::string hex(std::string_view bytes) {
    std::string out;
    char buf[3];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

std::string oldHashHex(std::string_view password) {
    db::OldPasswordHash h = db::oldPasswordHash(password);
    char buf[17];
    std::snprintf(buf, sizeof buf, "%08x%08x", h.first, h.second);
    return buf;
}

// Tokens computed independently with Python's hashlib; hashes from the server's OLD_PASSWORD().
TEST(Auth, NativePasswordToken) {
    std::string scramble2(20, '\0');
    for (int i = 0; i < 20; ++i) scramble2[i] = static_cast<char>(i + 1);
    EXPECT_EQ(hex(db::nativePasswordToken("qlRootPw7", "abcdefghij0123456789")),
              "8e3002a8ce6cec18dba1f1f112f1d3a340fe3b43");
    EXPECT_EQ(hex(db::nativePasswordToken("\xe0pw", scramble2)),
              "9960f50a7263326a7e8b551896cc1d0b2da217d0");
    EXPECT_EQ(db::nativePasswordToken("", "abcdefghij0123456789"), "");
}

TEST(Auth, OldPasswordHashMatchesTheServer) {
    EXPECT_EQ(oldHashHex("oldPw42"), "01706d7e1e3f16cb");
    EXPECT_EQ(oldHashHex("a b\tc"), "7cd2b5942be28759");
    EXPECT_EQ(oldHashHex("Quillora 2026!"), "189d853a54268206");
}

TEST(Auth, OldPasswordAnswerShape) {
    const std::string a = db::oldPasswordAnswer("oldPw42", "qU5GHp~I");
    ASSERT_EQ(a.size(), 8u);
    // Every character is 64 + 0..30, then XORed with a value below 31: printable, never zero.
    for (char c : a) EXPECT_GE(static_cast<unsigned char>(c), 32) << hex(a);
    EXPECT_EQ(db::oldPasswordAnswer("oldPw42", "qU5GHp~I"), a);
    EXPECT_NE(db::oldPasswordAnswer("oldPw43", "qU5GHp~I"), a);
    // Only the first 8 scramble bytes count.
    EXPECT_EQ(db::oldPasswordAnswer("oldPw42", "qU5GHp~I/Mw1*\"ga3w!9"), a);
    EXPECT_EQ(db::oldPasswordAnswer("", "qU5GHp~I"), "");
}

TEST(Auth, CapabilitiesTowardsCurrentAndOldServers) {
    const std::uint32_t caller = db::CLIENT_FOUND_ROWS | db::CLIENT_MULTI_STATEMENTS;
    EXPECT_EQ(db::clientCapabilities(caller, 0xF7FE), 0x3A28Fu);
    // A server without the 4.1 protocol: that flag goes, the others stay.
    EXPECT_EQ(db::clientCapabilities(caller, 0x002C), 0x3A28Fu & ~db::CLIENT_PROTOCOL_41);
    // Compression and TLS asked by a caller are dropped when the server does not offer them.
    EXPECT_EQ(db::clientCapabilities(db::CLIENT_COMPRESS | db::CLIENT_SSL, 0xF7DE) &
                  (db::CLIENT_COMPRESS | db::CLIENT_SSL),
              0u);
    EXPECT_EQ(db::clientCapabilities(0, 0xF7FE), 0x3A28Du);
}

TEST(Auth, LoginAnswerOfProtocol41) {
    db::LoginAnswer a{0x3A28F, "root", "qlRootPw7", "ostrellib", "abcdefghij0123456789", 0xF7FE};
    const std::string p = db::buildLoginAnswer(a);
    const std::string fixed("\x8f\xa2\x03\x00\x00\x00\x00\x40\x08", 9);
    ASSERT_GE(p.size(), 32u);
    EXPECT_EQ(p.substr(0, 9), fixed);
    EXPECT_EQ(p.substr(9, 23), std::string(23, '\0'));
    EXPECT_EQ(p.substr(32), std::string("root\0\x14", 6) +
                                db::nativePasswordToken("qlRootPw7", "abcdefghij0123456789") +
                                std::string("ostrellib\0", 10));

    a.password.clear();
    EXPECT_EQ(db::buildLoginAnswer(a).substr(32), std::string("root\0\0ostrellib\0", 16));
}

TEST(Auth, LoginAnswerOfPre41Server) {
    const std::uint16_t server = db::CLIENT_LONG_PASSWORD | db::CLIENT_LONG_FLAG |
                                 db::CLIENT_CONNECT_WITH_DB | db::CLIENT_TRANSACTIONS;
    const std::uint32_t flags = db::clientCapabilities(0, server);
    db::LoginAnswer a{flags, "root", "oldPw42", "", "qU5GHp~I", server};
    const std::string p = db::buildLoginAnswer(a);
    EXPECT_EQ(p, std::string("\x8d\xa0\0\0\0root\0", 10) +
                     db::oldPasswordAnswer("oldPw42", "qU5GHp~I") + std::string("\0\0", 2));
    // Without the database capability no database name follows.
    a.serverCapabilities = server & ~db::CLIENT_CONNECT_WITH_DB;
    EXPECT_EQ(db::buildLoginAnswer(a).size(), p.size() - 1);
}

}  // namespace
