// Login, errors and the transport of the session against the real MariaDB sandbox.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "core/text.h"
#include "host/platform/socket.h"
#include "tests/integration_db/session_helpers.h"

namespace {

using dbtest::connectAs;
using dbtest::connectRoot;
using dbtest::query;

TEST(SessionLogin, RootWithNativePassword) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    db::TMySqlSession s;
    ASSERT_TRUE(connectRoot(s, sb)) << s.errorText();
    EXPECT_TRUE(s.serverVersion.starts_with("5.5.5-10.")) << s.serverVersion;
    EXPECT_EQ(s.scrambleBuff.size(), 20u);
    EXPECT_EQ(s.clientFlag, 0x3A28Fu);
    EXPECT_EQ(s.hostInfo, "127.0.0.1 via TCP/IP");
    EXPECT_EQ(s.errorNumber(), 0u);
    EXPECT_EQ(query(s, "SELECT CURRENT_USER(), CONNECTION_ID() = " + std::to_string(s.threadId)),
              "root@127.0.0.1\t1\n");
    // Character set 8 in the login makes the session latin1.
    EXPECT_EQ(query(s, "SELECT @@character_set_client, @@collation_connection"),
              "latin1\tlatin1_swedish_ci\n");
}

TEST(SessionLogin, EmptyHostMeansLocalhost) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    db::TMySqlSession s;
    ASSERT_TRUE(
        s.mysql_real_connect("", sb.rootUser, sb.rootPassword, "", sb.port, dbtest::kCallerFlags))
        << s.errorText();
    EXPECT_EQ(s.host, "localhost");
    EXPECT_EQ(s.hostInfo, "localhost via TCP/IP");
}

TEST(SessionLogin, RefusedLoginsKeepTheServersTextAndState) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    struct Case {
        const char* name;
        std::string user, password, database;
        unsigned code;
        std::string textStart;
    } cases[] = {
        {"wrong password", "root", "wrong", "", 1045, "\r\n#28000Access denied for user 'root'@"},
        {"no password where one is needed", "root", "", "", 1045,
         "\r\n#28000Access denied for user 'root'@"},
        {"unknown database", "root", sb.rootPassword, "no_such_db_ql", 1049,
         "\r\n#42000Unknown database 'no_such_db_ql'"},
        {"old-password user with a wrong password", sb.oldUser, "nope", "", 1045,
         "\r\n#28000Access denied"},
    };
    for (const Case& c : cases) {
        db::TMySqlSession s;
        EXPECT_FALSE(connectAs(s, sb, c.user, c.password, c.database)) << c.name;
        EXPECT_EQ(s.errorNumber(), c.code) << c.name;
        EXPECT_TRUE(s.errorText().starts_with(c.textStart)) << c.name << ": " << s.errorText();
        EXPECT_FALSE(s.connected()) << c.name;
    }
}

TEST(SessionLogin, EmptyPasswordAndOldPasswordUsers) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    db::TMySqlSession empty;
    ASSERT_TRUE(connectAs(empty, sb, sb.emptyUser, "")) << empty.errorText();
    EXPECT_EQ(query(empty, "SELECT CURRENT_USER()"), sb.emptyUser + "@%\n");

    // The server keeps this user's pre-4.1 hash and answers the 4.1 token with a lone 0xFE.
    db::TMySqlSession old;
    ASSERT_TRUE(connectAs(old, sb, sb.oldUser, sb.oldPassword)) << old.errorText();
    EXPECT_EQ(query(old, "SELECT CURRENT_USER()"), sb.oldUser + "@%\n");
}

TEST(SessionLogin, DatabaseNamesIgnoreCase) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    const std::string name = testsupport::uniqueName("QlMixed");
    ASSERT_EQ(testsupport::runSql(sb, "CREATE DATABASE " + name).exitCode, 0);
    // The server runs with --lower-case-table-names=1, as Windows servers do.
    db::TMySqlSession s;
    EXPECT_TRUE(connectRoot(s, sb, core::asciiUpper(name))) << s.errorText();
    EXPECT_EQ(s.database, core::asciiUpper(name));
    EXPECT_EQ(query(s, "SELECT DATABASE()"), core::asciiLower(name) + "\n");
    testsupport::runSql(sb, "DROP DATABASE " + name);
}

TEST(SessionTransport, RefusedPortGives2003WithReason) {
    // A port that was free a moment ago: nothing listens there any more.
    std::uint16_t port;
    {
        auto l = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
        ASSERT_TRUE(l.ok());
        port = l->port();
    }
    db::TMySqlSession s;
    EXPECT_FALSE(s.mysql_real_connect("127.0.0.1", "root", "x", "", port, dbtest::kCallerFlags));
    EXPECT_EQ(s.errorNumber(), 2003u);
    EXPECT_EQ(s.errorText(),
              "Can't connect to MySQL server on '127.0.0.1' (10061)\r\n"
              "Socket error on connect. WSAGetLastError return 111($6F)");
}

TEST(SessionTransport, UnresolvableHostGives2003) {
    db::TMySqlSession s;
    s.connectTimeout = 10;
    EXPECT_FALSE(
        s.mysql_real_connect("no-such-host.invalid", "root", "x", "", 3306, dbtest::kCallerFlags));
    EXPECT_EQ(s.errorNumber(), 2003u);
    EXPECT_TRUE(s.errorText().starts_with(
        "Can't connect to MySQL server on 'no-such-host.invalid' (10061)\r\n"))
        << s.errorText();
}

// An address nobody answers: depending on the network the connect fails, hangs (then the
// resolver thread is abandoned: 2003 "Connection timed out") or is taken by a middlebox that
// never greets (the handshake's receive time-out: 2013). The connect time-out bounds all three.
TEST(SessionTransport, ConnectTimeoutBoundsTheWait) {
    db::TMySqlSession s;
    s.connectTimeout = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(s.mysql_real_connect("10.255.255.1", "root", "x", "", 3306, dbtest::kCallerFlags));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(s.errorNumber() == 2003u || s.errorNumber() == 2013u) << s.errorText();
    EXPECT_LT(waited, std::chrono::seconds(4));
}

TEST(SessionTransport, CommandTimeoutEndsAWaitingQuery) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    db::TMySqlSession s;
    ASSERT_TRUE(connectRoot(s, sb)) << s.errorText();
    s.commandTimeout = 1;
    EXPECT_FALSE(s.mysql_real_query("SELECT SLEEP(5)"));
    EXPECT_EQ(s.errorNumber(), 2013u);
    EXPECT_TRUE(
        s.errorText().starts_with("Lost connection to MySQL server during query\r\nSocket error on "
                                  "read. WSAGetLastError return"))
        << s.errorText();
    EXPECT_FALSE(s.connected());
}

// The quit command ends the server's thread: it disappears from the process list.
TEST(SessionTransport, CloseSendsQuit) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    db::TMySqlSession s;
    ASSERT_TRUE(connectRoot(s, sb)) << s.errorText();
    const std::string id = std::to_string(s.threadId);
    const std::string count =
        "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + id;
    EXPECT_EQ(testsupport::runSql(sb, count).output, "1\n");
    s.mysql_close();
    EXPECT_FALSE(s.connected());
    std::string left;
    for (int i = 0; i < 50; ++i) {
        left = testsupport::runSql(sb, count).output;
        if (left == "0\n") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(left, "0\n");
    EXPECT_FALSE(s.mysql_real_query("SELECT 1"));
    EXPECT_EQ(s.errorNumber(), 2006u);
}

// A server that dies during a query: 2013, and the session is done.
TEST(SessionTransport, ServerKilledMidQuery) {
    testsupport::PrivateMariaDbSandbox own;
    const testsupport::MariaDbSandbox& sb = *own.get();
    db::TMySqlSession s;
    ASSERT_TRUE(connectRoot(s, sb)) << s.errorText();
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::system(("kill -9 " + std::to_string(sb.pid)).c_str());
    });
    const bool ok = s.mysql_real_query("SELECT SLEEP(20)");
    killer.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(s.errorNumber(), 2013u);
    EXPECT_TRUE(s.errorText().starts_with("Lost connection to MySQL server during query"))
        << s.errorText();
    EXPECT_FALSE(s.mysql_real_query("SELECT 1"));
    EXPECT_EQ(s.errorNumber(), 2006u);
}

}  // namespace
