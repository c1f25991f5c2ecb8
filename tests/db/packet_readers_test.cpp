#include "db/packet_readers.h"

#include <gtest/gtest.h>

#include <string>

#include "core/byte_cursor.h"
#include "db/mysql_protocol.h"

namespace {

using db::Payload;

Payload bytesOf(const std::string& s) {
    return core::asBytes(s);
}

std::string fromHex(std::string_view hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

// The greeting of the MariaDB 10.11 sandbox as it came off the wire (payload only).
const std::string kMariaDbGreeting = fromHex(
    "0a352e352e352d31302e31312e31392d4d6172696144422d302b64656231327531000b0000007155354748"
    "707e4900fef7080200ff81150000000000001d0000002f4d77312a22676133772139006d7973716c5f6e61"
    "746976655f70617373776f726400");

TEST(Handshake, ReadsTheGreetingOfMariaDb) {
    auto h = db::readHandshake(bytesOf(kMariaDbGreeting));
    ASSERT_TRUE(h.ok()) << h.error().detail;
    EXPECT_EQ(h->protocolVersion, 10u);
    EXPECT_EQ(h->serverVersion, "5.5.5-10.11.19-MariaDB-0+deb12u1");
    EXPECT_EQ(h->threadId, 11u);
    EXPECT_EQ(h->scramble, "qU5GHp~I/Mw1*\"ga3w!9");
    EXPECT_EQ(h->serverCapabilities, 0xF7FE);
    EXPECT_EQ(h->serverLanguage, 8);
    EXPECT_EQ(h->serverStatus, 2);
}

// Cut anywhere, the greeting never reads past its end: before the filler it is malformed,
// afterwards the optional parts are simply absent.
TEST(Handshake, EveryTruncationIsSafe) {
    const std::size_t fillerAt = 1 + 33 + 4 + 8;  // protocol, version + NUL, thread, scramble
    for (std::size_t n = 0; n < kMariaDbGreeting.size(); ++n) {
        std::string cut = kMariaDbGreeting.substr(0, n);
        auto h = db::readHandshake(bytesOf(cut));
        if (n <= fillerAt) {
            ASSERT_FALSE(h.ok()) << n;
            EXPECT_EQ(h.error().code, 2027u) << n;
            EXPECT_EQ(h.error().text, "Malformed packet");
        } else {
            ASSERT_TRUE(h.ok()) << n;
            EXPECT_EQ(h->scramble.size(), n >= fillerAt + 19 + 12 ? 20u : 8u) << n;
        }
    }
}

TEST(Handshake, RejectsOtherProtocolsAndPassesErrors) {
    std::string v9 = kMariaDbGreeting;
    v9[0] = 9;
    auto h = db::readHandshake(bytesOf(v9));
    ASSERT_FALSE(h.ok());
    EXPECT_EQ(h.error().code, 2007u);
    EXPECT_EQ(h.error().text, "Protocol mismatch. Server Version = 9 Client Version = 10");

    auto e = db::readHandshake(bytesOf(std::string("\xff\x69\x04Host is blocked", 18)));
    ASSERT_FALSE(e.ok());
    EXPECT_EQ(e.error().code, 1129u);
    EXPECT_EQ(e.error().text, "\r\nHost is blocked");
}

TEST(ErrorPacket, KeepsSqlStateAndStopsAtZero) {
    struct Case {
        const char* name;
        std::string bytes;
        unsigned code;
        std::string text;
    } cases[] = {
        {"4.1", std::string("\xff\x15\x04#28000Access denied", 22), 1045,
         "\r\n#28000Access denied"},
        {"old", std::string("\xff\x19\x04Unknown database 'x'\0junk", 28), 1049,
         "\r\nUnknown database 'x'"},
        {"client code keeps the table text", std::string("\xff\xdd\x07gone", 7), 2013,
         "Lost connection to MySQL server during query\r\ngone"},
        {"no code", std::string("\xff\x15", 2), 2027, "Malformed packet"},
        {"empty", std::string(), 2027, "Malformed packet"},
    };
    for (const Case& c : cases) {
        db::MySqlError e = db::readError(bytesOf(c.bytes));
        EXPECT_EQ(e.code, c.code) << c.name;
        EXPECT_EQ(e.text, c.text) << c.name;
    }
}

TEST(OkPacket, ReadsFieldsOfBothProtocols) {
    struct Case {
        const char* name;
        std::string bytes;
        bool protocol41, transactions;
        bool ok;
        std::uint64_t affected, insertId;
        std::uint16_t status, warnings;
        std::string info;
    } cases[] = {
        {"4.1", std::string("\x00\x03\xfc\x10\x27\x02\x00\x01\x00", 9), true, true, true, 3, 10000,
         2, 1, ""},
        {"4.1 info, length-coded",
         std::string("\x00\x01\x00\x02\x00\x00\x00\x0fRows matched: 1", 23), true, true, true, 1, 0,
         2, 0, "Rows matched: 1"},
        {"4.1 info, zero-terminated", std::string("\x00\x01\x00\x02\x00\x00\x00\x7fRows\0x", 14),
         true, true, true, 1, 0, 2, 0, "\x7fRows"},
        {"pre-4.1 info", std::string("\x00\x01\x00\x02\x00\x05info\0", 11), false, true, true, 1, 0,
         2, 0, "\x05info"},
        {"pre-4.1 with transactions", std::string("\x00\x00\x00\x02\x00", 5), false, true, true, 0,
         0, 2, 0, ""},
        {"pre-4.1 bare", std::string("\x00\x05\x07", 3), false, false, true, 5, 7, 0, 0, ""},
        {"status missing", std::string("\x00\x00\x00\x02", 4), true, true, false, 0, 0, 0, 0, ""},
        {"warnings missing", std::string("\x00\x00\x00\x02\x00", 5), true, true, false, 0, 0, 0, 0,
         ""},
        {"affected rows runs past end", std::string("\x00\xfd\x01\x02", 4), true, true, false, 0, 0,
         0, 0, ""},
        {"NULL marker is no number", std::string("\x00\xfb\x00\x02\x00\x00\x00", 7), true, true,
         false, 0, 0, 0, 0, ""},
        {"not an OK packet", std::string("\x01\x00\x00\x02\x00\x00\x00", 7), true, true, false, 0,
         0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        auto r = db::readOk(bytesOf(c.bytes), c.protocol41, c.transactions);
        ASSERT_EQ(r.ok(), c.ok) << c.name;
        if (!c.ok) {
            EXPECT_EQ(r.error().code, 2027u) << c.name;
            continue;
        }
        EXPECT_EQ(r->affectedRows, c.affected) << c.name;
        EXPECT_EQ(r->insertId, c.insertId) << c.name;
        EXPECT_EQ(r->serverStatus, c.status) << c.name;
        EXPECT_EQ(r->warningCount, c.warnings) << c.name;
        EXPECT_EQ(r->info, c.info) << c.name;
    }
}

TEST(EofPacket, IsRecognisedByLengthAndRead) {
    const std::string eof41("\xfe\x01\x00\x0a\x00", 5);
    EXPECT_TRUE(db::isEofPacket(bytesOf(eof41)));
    EXPECT_TRUE(db::isEofPacket(bytesOf(std::string("\xfe", 1))));
    // A row whose first value is 8-byte length-coded also starts with 0xFE.
    EXPECT_FALSE(
        db::isEofPacket(bytesOf(std::string("\xfe\x01\x00\x00\x00\x00\x00\x00\x00x", 10))));
    auto r = db::readEof(bytesOf(eof41), true);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->warningCount, 1);
    EXPECT_EQ(r->serverStatus, 0x0a);
    auto shortEof = db::readEof(bytesOf(std::string("\xfe\x01\x00", 3)), true);
    ASSERT_FALSE(shortEof.ok());
    EXPECT_EQ(shortEof.error().code, 2027u);
    EXPECT_TRUE(db::readEof(bytesOf(std::string("\xfe", 1)), false).ok());
}

std::string lenenc(std::string_view s) {
    return static_cast<char>(s.size()) + std::string(s);
}

std::string column41(std::string_view name) {
    return lenenc("def") + lenenc("ostrellib") + lenenc("l") + lenenc("librerie") + lenenc(name) +
           lenenc("nome") + std::string("\x0c\x08\x00\x3c\x00\x00\x00\xfd\x01\x10\x00\x00\x00", 13);
}

TEST(ColumnDefinition, ReadsProtocol41) {
    auto f = db::readColumnDefinition(bytesOf(column41("Nome")), true);
    ASSERT_TRUE(f.ok()) << f.error().detail;
    EXPECT_EQ(f->Database, "ostrellib");
    EXPECT_EQ(f->Table, "l");
    EXPECT_EQ(f->OrgTable, "librerie");
    EXPECT_EQ(f->Name, "Nome");
    EXPECT_EQ(f->OrgName, "nome");
    EXPECT_EQ(f->CharsetNr, 8);
    EXPECT_EQ(f->Length, 60u);
    EXPECT_EQ(f->Type, 0xfd);
    EXPECT_EQ(f->Flags, 0x1001u);
    EXPECT_EQ(f->Scale, 0u);
}

TEST(ColumnDefinition, ReadsPre41) {
    const std::string old = lenenc("librerie") + lenenc("nome") +
                            std::string("\x03\x3c\x00\x00", 4) + std::string("\x01\xfd", 2) +
                            std::string("\x03\x01\x10\x02", 4);
    auto f = db::readColumnDefinition(bytesOf(old), false);
    ASSERT_TRUE(f.ok()) << f.error().detail;
    EXPECT_EQ(f->Table, "librerie");
    EXPECT_EQ(f->Name, "nome");
    EXPECT_EQ(f->Length, 60u);
    EXPECT_EQ(f->Type, 0xfd);
    EXPECT_EQ(f->Flags, 0x1001u);
    EXPECT_EQ(f->Scale, 2u);
}

TEST(ColumnDefinition, EveryTruncationIsMalformed) {
    const std::string full = column41("nome");
    for (std::size_t n = 0; n + 2 < full.size(); ++n) {  // the last two filler bytes are optional
        auto f = db::readColumnDefinition(bytesOf(full.substr(0, n)), true);
        ASSERT_FALSE(f.ok()) << n;
        EXPECT_EQ(f.error().code, 2027u);
    }
}

TEST(Row, DecodesValuesInPlace) {
    const std::string big(300, 'z');
    const std::string row = lenenc("12") + "\xfb" + std::string(1, '\0') + "\xfc\x2c\x01" + big;
    db::RowValues v;
    ASSERT_TRUE(db::readRow(bytesOf(row), 4, v).ok());
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0], "12");
    EXPECT_FALSE(v[1].has_value());
    EXPECT_EQ(v[2], "");
    EXPECT_EQ(v[3], big);
    // The value views the packet itself.
    EXPECT_EQ(v[3]->data(), row.data() + row.size() - big.size());
}

TEST(Row, MalformedRows) {
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t columns;
    } cases[] = {
        {"fewer values than columns", lenenc("a"), 2},
        {"value runs past end",
         std::string("\x05"
                     "abc",
                     4),
         1},
        {"length prefix cut", std::string("\xfc\x01", 2), 1},
        {"bytes after the last column", lenenc("a") + "x", 1},
        {"0xFF is no length", std::string("\xff", 1), 1},
    };
    for (const Case& c : cases) {
        db::RowValues v;
        auto r = db::readRow(bytesOf(c.bytes), c.columns, v);
        ASSERT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.error().code, 2027u) << c.name;
        EXPECT_EQ(r.error().text, "Malformed packet") << c.name;
    }
}

TEST(ColumnCount, ExtraInfoAndLimits) {
    auto c = db::readColumnCount(bytesOf(std::string("\x03\x07", 2)));
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c->count, 3u);
    EXPECT_EQ(c->extraInfo, 7u);
    EXPECT_FALSE(db::readColumnCount(bytesOf(std::string("\xfd\xff\xff\xff", 4))).ok());
    EXPECT_FALSE(db::readColumnCount(bytesOf(std::string("\xfc\x01", 2))).ok());
}

}  // namespace
