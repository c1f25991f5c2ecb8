// The session against canned server bytes, for what MariaDB cannot be made to show: other
// protocol versions, a pre-4.1 server, wrong sequence numbers, truncated and broken packets.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>

#include "db/auth.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "db/mysql_protocol.h"
#include "db/mysql_session.h"
#include "tests/support/scripted_server.h"

namespace {

using testsupport::closeConnection;
using testsupport::drip;
using testsupport::mysqlPacket;
using testsupport::receivePacket;
using testsupport::ScriptedServer;
using testsupport::send;
using testsupport::sendInPieces;
using testsupport::ServerScript;
using testsupport::ServerStep;
using testsupport::waitPeerClose;

const std::string kScramble1 = "12345678";
const std::string kScramble2 = "abcdefghijkl";

// A protocol-10 greeting with the given capabilities; `full` adds status and the second
// scramble part the way 4.1 servers send them.
std::string greeting(std::uint16_t caps, bool full, char protocol = 10) {
    std::string g(1, protocol);
    g += std::string("5.5.5-test\0", 11);
    g += std::string("\x2a\x00\x00\x00", 4) + kScramble1 + std::string(1, '\0');
    g += static_cast<char>(caps & 0xFF);
    g += static_cast<char>(caps >> 8);
    g += std::string("\x08\x02\x00", 3);
    g += std::string(13, '\0');
    if (full) g += kScramble2 + std::string(1, '\0');
    return g;
}

// A 4.1 column definition of a VARCHAR column "a", its fields one literal each.
std::string columnA() {
    constexpr char bytes[] =
        "\x03"
        "def"
        "\x00"
        "\x00"
        "\x00"
        "\x01"
        "a"
        "\x00"
        "\x0c"
        "\x08\x00"
        "\x01\x00\x00\x00"
        "\xfd"
        "\x00\x00"
        "\x00"
        "\x00\x00";
    return std::string(bytes, sizeof bytes - 1);
}

// One connection playing `steps`, then waiting for the client to finish (it may send quit).
ServerScript mysqlPeer(ServerScript steps) {
    if (steps.empty() || steps.back().kind != ServerStep::Kind::Close)
        steps.push_back(waitPeerClose());
    return steps;
}

const std::string kOk41("\x00\x00\x00\x02\x00\x00\x00", 7);

bool connect(db::TMySqlSession& s, const ScriptedServer& server, std::string_view password = "pw") {
    s.connectTimeout = 5;
    return s.mysql_real_connect("127.0.0.1", "root", password, "ostrellib", server.port(),
                                db::CLIENT_FOUND_ROWS | db::CLIENT_MULTI_STATEMENTS);
}

TEST(SessionFakeServer, ProtocolNineIsAMismatch) {
    ScriptedServer server({mysqlPeer({send(mysqlPacket(0, greeting(0xF7FE, true, 9)))})});
    db::TMySqlSession s;
    ASSERT_FALSE(connect(s, server));
    EXPECT_EQ(s.errorNumber(), 2007u);
    EXPECT_EQ(s.errorText(), "Protocol mismatch. Server Version = 9 Client Version = 10");
    EXPECT_FALSE(s.connected());
}

// A 4.0 server: no 4.1 protocol, no secure connection, 8-byte scramble. The client answers
// with 2-byte flags, the pre-4.1 password answer, and reads the short OK and old result formats.
TEST(SessionFakeServer, Pre41HandshakeOkAndResult) {
    const std::uint16_t caps = db::CLIENT_LONG_PASSWORD | db::CLIENT_LONG_FLAG |
                               db::CLIENT_CONNECT_WITH_DB | db::CLIENT_TRANSACTIONS;
    std::string g(1, '\x0a');
    g += std::string("4.0.27\0", 7) + std::string("\x07\x00\x00\x00", 4) + kScramble1 + '\0';
    g += static_cast<char>(caps & 0xFF);
    g += static_cast<char>(caps >> 8);
    g += std::string("\x08\x02\x00", 3) + std::string(13, '\0');
    const std::string column = std::string("\x08librerie\x04nome", 14) +
                               std::string("\x03\x3c\x00\x00", 4) + std::string("\x01\xfd", 2) +
                               std::string("\x03\x01\x00\x00", 4);
    ScriptedServer server({mysqlPeer({
        send(mysqlPacket(0, g)),
        receivePacket(),
        send(mysqlPacket(2, std::string("\x00\x00\x00\x02\x00", 5))),
        receivePacket(),
        send(mysqlPacket(1, "\x01") + mysqlPacket(2, column) + mysqlPacket(3, "\xfe") +
             mysqlPacket(4,
                         "\x05"
                         "Ditta") +
             mysqlPacket(5, "\xfe")),
    })});
    db::TMySqlSession s;
    ASSERT_TRUE(connect(s, server, "oldPw42")) << s.errorText();
    EXPECT_EQ(s.clientFlag & db::CLIENT_PROTOCOL_41, 0u);
    EXPECT_EQ(s.scrambleBuff, kScramble1);
    ASSERT_TRUE(s.mysql_real_query("SELECT nome FROM librerie")) << s.errorText();
    db::TMySqlResultSet* rs = s.mysql_use_result();
    ASSERT_NE(rs, nullptr);
    ASSERT_EQ(rs->fieldCount(), 1u);
    EXPECT_EQ(rs->fields()[0].Name, "nome");
    EXPECT_EQ(rs->fields()[0].Table, "librerie");
    const db::RowValues* row = s.mysql_fetch_row(rs);
    ASSERT_NE(row, nullptr) << s.errorText();
    EXPECT_EQ((*row)[0], "Ditta");
    EXPECT_EQ(s.mysql_fetch_row(rs), nullptr);
    EXPECT_EQ(s.errorNumber(), 0u);
    EXPECT_EQ(s.status, db::msReady);

    auto got = server.packets();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[0].sequence, 1);
    const std::string& answer = got[0].payload;
    EXPECT_EQ(answer.substr(0, 5), std::string("\x8f\xa0\0\0\0", 5));
    EXPECT_EQ(answer.substr(5), std::string("root\0", 5) +
                                    db::oldPasswordAnswer("oldPw42", kScramble1) +
                                    std::string("\0ostrellib\0", 11));
    EXPECT_EQ(got[1].sequence, 0);
    EXPECT_EQ(got[1].payload, "\x03SELECT nome FROM librerie");
}

// The lone 0xFE after the 4.1 token asks for the pre-4.1 answer as the next packet.
TEST(SessionFakeServer, OldPasswordRequestIsAnsweredInSequence) {
    ScriptedServer server({mysqlPeer({
        send(mysqlPacket(0, greeting(0xF7FE, true))),
        receivePacket(),
        send(mysqlPacket(2, "\xfe")),
        receivePacket(),
        send(mysqlPacket(4, kOk41)),
    })});
    db::TMySqlSession s;
    ASSERT_TRUE(connect(s, server, "oldPw42")) << s.errorText();
    auto got = server.packets();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].payload.substr(32, 6), std::string("root\0\x14", 6));
    EXPECT_EQ(got[1].sequence, 3);
    EXPECT_EQ(got[1].payload, db::oldPasswordAnswer("oldPw42", kScramble1) + std::string(1, '\0'));
}

TEST(SessionFakeServer, OutOfOrderSequenceNumber) {
    ScriptedServer server({mysqlPeer({send(mysqlPacket(1, greeting(0xF7FE, true)))})});
    db::TMySqlSession s;
    ASSERT_FALSE(connect(s, server));
    EXPECT_EQ(s.errorNumber(), 1156u);
    EXPECT_EQ(s.errorText(), "ReceiveHeader: Net packets out of order: received[1], expected[0]");
}

TEST(SessionFakeServer, TruncatedAndMalformedLogin) {
    struct Case {
        const char* name;
        ServerScript steps;
        unsigned code;
        std::string text;
    };
    const std::string g = greeting(0xF7FE, true);
    Case cases[] = {
        {"peer closes inside the header",
         {send(std::string("\x30\x00", 2)), closeConnection()},
         2013,
         "Lost connection to MySQL server during query"},
        {"peer closes inside the payload",
         {send(mysqlPacket(0, g).substr(0, 20)), closeConnection()},
         2013,
         "Lost connection to MySQL server during query"},
        {"greeting cut before the scramble",
         {send(mysqlPacket(0, g.substr(0, 20)))},
         2027,
         "Malformed packet"},
        {"answer to the login is no OK packet",
         {send(mysqlPacket(0, g)), receivePacket(), send(mysqlPacket(2, "\x05xyz"))},
         2027,
         "Malformed packet"},
        {"login refused",
         {send(mysqlPacket(0, g)), receivePacket(),
          send(mysqlPacket(2, std::string("\xff\x15\x04#28000Access denied", 22)))},
         1045,
         "\r\n#28000Access denied"},
    };
    for (Case& c : cases) {
        ScriptedServer server({mysqlPeer(std::move(c.steps))});
        db::TMySqlSession s;
        EXPECT_FALSE(connect(s, server)) << c.name;
        EXPECT_EQ(s.errorNumber(), c.code) << c.name;
        EXPECT_EQ(s.errorText(), c.text) << c.name;
        EXPECT_FALSE(s.connected()) << c.name;
    }
}

// The connection time-out bounds the whole connect, not each read: a server that drips its
// greeting, or never answers the login, ends the connect when the time-out has passed.
TEST(SessionFakeServer, SlowHandshakeEndsAtTheConnectionTimeOut) {
    const std::string g = mysqlPacket(0, greeting(0xF7FE, true));
    const std::pair<const char*, ServerScript> cases[] = {
        {"greeting a byte every 100 ms", {drip(g, 100)}},
        {"no answer to the login", {send(g), receivePacket()}},
    };
    for (const auto& [name, steps] : cases) {
        SCOPED_TRACE(name);
        ScriptedServer server({mysqlPeer(steps)});
        db::TMySqlSession s;
        s.connectTimeout = 1;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(s.mysql_real_connect("127.0.0.1", "root", "pw", "ostrellib", server.port(),
                                          db::CLIENT_FOUND_ROWS));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(s.errorNumber(), 2003u);
        EXPECT_EQ(s.errorText(),
                  "Can't connect to MySQL server on '127.0.0.1' (10061)\r\nConnection timed out");
        EXPECT_FALSE(s.connected());
        // The dripped greeting alone would take 8 s.
        EXPECT_GE(waited, std::chrono::milliseconds(900));
        EXPECT_LT(waited, std::chrono::milliseconds(4000));
    }
}

// Broken packets inside a result: the query fails with 2027 or 2013, the session is dropped
// and the next command says the server has gone away.
TEST(SessionFakeServer, BrokenResultsDropTheSession) {
    const std::string g = greeting(0xF7FE, true);
    const std::string eof = std::string("\xfe\x00\x00\x02\x00", 5);
    const std::string column = columnA();
    struct Case {
        const char* name;
        std::string answer;
        unsigned code;
    } cases[] = {
        {"row value runs past its packet",
         mysqlPacket(1, "\x01") + mysqlPacket(2, column) + mysqlPacket(3, eof) +
             mysqlPacket(4, "\x09short"),
         2027},
        {"fewer column definitions than announced",
         mysqlPacket(1, "\x02") + mysqlPacket(2, column) + mysqlPacket(3, eof), 2027},
        {"connection lost in the rows",
         mysqlPacket(1, "\x01") + mysqlPacket(2, column) + mysqlPacket(3, eof) +
             mysqlPacket(4, "\x01x") + std::string("\x10\x00", 2),
         2013},
        {"wrong number inside the result", mysqlPacket(1, "\x01") + mysqlPacket(3, column), 1156},
    };
    for (const Case& c : cases) {
        ScriptedServer server(
            {mysqlPeer({send(mysqlPacket(0, g)), receivePacket(), send(mysqlPacket(2, kOk41)),
                        receivePacket(), send(c.answer), closeConnection()})});
        db::TMySqlSession s;
        ASSERT_TRUE(connect(s, server)) << c.name << ": " << s.errorText();
        bool ok = s.mysql_real_query("SELECT a");
        if (ok) {
            db::TMySqlResultSet* rs = s.mysql_use_result();
            ASSERT_NE(rs, nullptr) << c.name;
            while (s.mysql_fetch_row(rs)) {
            }
        }
        EXPECT_EQ(s.errorNumber(), c.code) << c.name << ": " << s.errorText();
        EXPECT_FALSE(s.connected()) << c.name;
        EXPECT_FALSE(s.mysql_real_query("SELECT 1")) << c.name;
        EXPECT_EQ(s.errorNumber(), 2006u) << c.name;
        EXPECT_EQ(s.errorText(), "MySQL server has gone away") << c.name;
    }
}

// A command whose answer is bigger than one packet arrives in pieces of 16777215 bytes.
TEST(SessionFakeServer, JoinsSplitPackets) {
    const std::string g = greeting(0xF7FE, true);
    const std::string eof = std::string("\xfe\x00\x00\x02\x00", 5);
    const std::string column = columnA();
    // One value of exactly 16777215 - 4 bytes makes a row payload of exactly the largest size,
    // so an empty packet must follow it.
    const std::size_t valueSize = db::kMaxPacket - 4;
    std::string row = std::string("\xfd", 1);
    row += static_cast<char>(valueSize & 0xFF);
    row += static_cast<char>((valueSize >> 8) & 0xFF);
    row += static_cast<char>((valueSize >> 16) & 0xFF);
    row += std::string(valueSize, 'v');
    ScriptedServer server({mysqlPeer(
        {send(mysqlPacket(0, g)), receivePacket(), send(mysqlPacket(2, kOk41)), receivePacket(),
         send(mysqlPacket(1, "\x01") + mysqlPacket(2, column) + mysqlPacket(3, eof) +
              mysqlPacket(4, row) + mysqlPacket(5, "") + mysqlPacket(6, eof))})});
    db::TMySqlSession s;
    ASSERT_TRUE(connect(s, server)) << s.errorText();
    ASSERT_TRUE(s.mysql_real_query("SELECT a")) << s.errorText();
    db::TMySqlResultSet* rs = s.mysql_use_result();
    const db::RowValues* r = s.mysql_fetch_row(rs);
    ASSERT_NE(r, nullptr) << s.errorText();
    EXPECT_EQ((*r)[0]->size(), valueSize);
    EXPECT_EQ(s.mysql_fetch_row(rs), nullptr);
    EXPECT_EQ(s.errorNumber(), 0u) << s.errorText();
}

// A command of exactly the largest payload goes out as a full packet and an empty one, with
// consecutive sequence numbers.
TEST(SessionFakeServer, SendsAnExactMultipleWithAnEmptyPacket) {
    ScriptedServer server({mysqlPeer({send(mysqlPacket(0, greeting(0xF7FE, true))), receivePacket(),
                                      send(mysqlPacket(2, kOk41)), receivePacket(), receivePacket(),
                                      send(mysqlPacket(2, kOk41))})});
    db::TMySqlSession s;
    ASSERT_TRUE(connect(s, server)) << s.errorText();
    const std::string query = "DO '" + std::string(db::kMaxPacket - 6, 'x') + "'";
    ASSERT_EQ(query.size() + 1, db::kMaxPacket);
    ASSERT_TRUE(s.mysql_real_query(query)) << s.errorText();
    auto got = server.packets();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].sequence, 0);
    EXPECT_EQ(got[1].payload.size(), db::kMaxPacket);
    EXPECT_EQ(got[1].payload.substr(0, 5),
              "\x03"
              "DO '");
    EXPECT_EQ(got[2].sequence, 1);
    EXPECT_EQ(got[2].payload, "");
}

// Headers and payloads cut anywhere by the transport: the rows come out the same.
TEST(SessionFakeServer, ResultArrivingInRandomPieces) {
    const std::string eof("\xfe\x00\x00\x02\x00", 5);
    std::string answer = mysqlPacket(1, "\x01") + mysqlPacket(2, columnA()) + mysqlPacket(3, eof);
    std::uint8_t seq = 4;
    for (int i = 0; i < 300; ++i) {
        const std::string v = i % 7 == 0 ? "\xfb" : static_cast<char>(3) + std::to_string(100 + i);
        answer += mysqlPacket(seq++, v);  // numbers wrap past 255
    }
    answer += mysqlPacket(seq, eof);
    ScriptedServer server(
        {mysqlPeer({sendInPieces(mysqlPacket(0, greeting(0xF7FE, true))), receivePacket(),
                    sendInPieces(mysqlPacket(2, kOk41)), receivePacket(), sendInPieces(answer)})});
    db::TMySqlSession s;
    ASSERT_TRUE(connect(s, server)) << s.errorText();
    ASSERT_TRUE(s.mysql_real_query("SELECT a")) << s.errorText();
    db::TMySqlResultSet* rs = s.mysql_use_result();
    int n = 0;
    while (const db::RowValues* row = s.mysql_fetch_row(rs)) {
        if (n % 7 == 0)
            EXPECT_FALSE((*row)[0].has_value()) << n;
        else
            EXPECT_EQ((*row)[0], std::to_string(100 + n));
        ++n;
    }
    EXPECT_EQ(s.errorNumber(), 0u) << s.errorText();
    EXPECT_EQ(n, 300);
}

// A server that gives up during the rows (a killed query) sends an error packet in place of a
// row: the fetch ends with that error and the session goes on.
TEST(SessionFakeServer, ErrorInsteadOfTheNextRow) {
    const std::string eof("\xfe\x00\x00\x02\x00", 5);
    ScriptedServer server({mysqlPeer(
        {send(mysqlPacket(0, greeting(0xF7FE, true))), receivePacket(), send(mysqlPacket(2, kOk41)),
         receivePacket(),
         send(mysqlPacket(1, "\x01") + mysqlPacket(2, columnA()) + mysqlPacket(3, eof) +
              mysqlPacket(4, "\x01x") +
              mysqlPacket(5, std::string("\xff\x25\x05#70100Query execution was interrupted", 40))),
         receivePacket(), send(mysqlPacket(1, kOk41))})});
    db::TMySqlSession s;
    ASSERT_TRUE(connect(s, server)) << s.errorText();
    ASSERT_TRUE(s.mysql_real_query("SELECT a")) << s.errorText();
    db::TMySqlResultSet* rs = s.mysql_use_result();
    ASSERT_NE(s.mysql_fetch_row(rs), nullptr);
    EXPECT_EQ(s.mysql_fetch_row(rs), nullptr);
    EXPECT_EQ(s.errorNumber(), 1317u);
    EXPECT_EQ(s.errorText(), "\r\n#70100Query execution was interrupted");
    EXPECT_EQ(s.status, db::msReady);
    EXPECT_TRUE(s.connected());
    EXPECT_TRUE(s.mysql_real_query("DO 1")) << s.errorText();
}

// A hostile server's wide result: 60,000 NULL columns in 100 rows (6 MB of rows on the wire).
// The query keeps a NULL as one flagged offset, so the result takes a small multiple of its
// size on the wire instead of some forty times it.
TEST(SessionFakeServer, WideNullResultIsKeptCompactly) {
    constexpr int kColumns = 60000, kRows = 100;
    std::string result = mysqlPacket(1, std::string("\xfc\x60\xea", 3));  // 60000
    std::uint8_t seq = 2;
    for (int i = 0; i < kColumns; ++i) result += mysqlPacket(seq++, columnA());
    const std::string eof("\xfe\x00\x00\x02\x00", 5);
    result += mysqlPacket(seq++, eof);
    const std::string nulls(kColumns, '\xfb');
    for (int r = 0; r < kRows; ++r) result += mysqlPacket(seq++, nulls);
    result += mysqlPacket(seq, eof);
    ScriptedServer server(
        {mysqlPeer({send(mysqlPacket(0, greeting(0xF7FE, true))), receivePacket(),
                    send(mysqlPacket(2, kOk41)), receivePacket(), send(result)})});
    db::TMyConnection conn("MyLibs");
    conn.Server = "127.0.0.1";
    conn.Port = server.port();
    db::TMyQuery q("qryWide", &conn);
    q.SQL.SetText("SELECT *");
    q.Open();
    EXPECT_EQ(q.RecordCount(), kRows);
    EXPECT_EQ(q.FieldCount(), kColumns);
    EXPECT_TRUE(q.Fields(kColumns - 1).IsNull());
    EXPECT_LT(q.ResultBytes(), 5 * result.size());
}

}  // namespace
