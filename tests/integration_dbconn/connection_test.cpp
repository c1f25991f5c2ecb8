// TMyConnection on the sandbox: BeforeConnect only on real attempts, the Server rules,
// failures leaving it closed, nothing sent after the handshake, a lost session.
#include <gtest/gtest.h>

#include "db/errors.h"
#include "db/my_query.h"
#include "tests/integration_dbconn/dbconn_helpers.h"

namespace {

TEST(TMyConnection, BeforeConnectOnlyOnRealAttempts) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    db::TMyConnection c("MyLibs");
    int calls = 0;
    c.BeforeConnect = [&](db::TMyConnection& sender) {
        ++calls;
        EXPECT_EQ(&sender, &c);
        dbconn::useSandbox(sender, sb);
        sender.Server = sb.host + ",ignored text";  // only the part before the comma counts
    };
    c.Open();
    EXPECT_TRUE(c.Connected());
    c.Open();
    c.SetConnected(true);
    EXPECT_EQ(calls, 1);
    const std::uint32_t firstThread = c.Session()->threadId;
    c.Close();
    EXPECT_FALSE(c.Connected());
    c.Close();
    c.Open();
    EXPECT_EQ(calls, 2);
    EXPECT_NE(c.Session()->threadId, firstThread);  // a new server session
}

TEST(TMyConnection, NothingIsSentAfterTheHandshake) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    db::TMyConnection c;
    dbconn::useSandbox(c, sb);
    db::TMyQuery q("q", &c);
    // The counter includes the question asking for it: 1 when nothing came before.
    q.SQL.SetText("SHOW SESSION STATUS LIKE 'Questions'");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("value").AsString(), "1");
    // Multi-statement texts are allowed by the capabilities asked for.
    c.run("DO 1; DO 2");
}

TEST(TMyConnection, FailuresRaiseEMyErrorAndLeaveItClosed) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    struct Case {
        const char* what;
        std::function<void(db::TMyConnection&)> setup;
        int code;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {"wrong password", [&](db::TMyConnection& c) { c.Password = "wrong"; }, 1045,
         "\r\n#28000Access denied"},
        {"unknown database", [&](db::TMyConnection& c) { c.Database = "no_such_db_x"; }, 1049,
         "\r\n#42000Unknown database"},
        // Port 1 on the loopback has no listener.
        {"refused", [&](db::TMyConnection& c) { c.Port = 1; }, 2003,
         "Can't connect to MySQL server on '" + sb.host +
             "' (10061)\r\nSocket error on connect. WSAGetLastError return 111($6F)"},
    };
    for (const Case& k : cases) {
        db::TMyConnection c;
        int calls = 0;
        c.BeforeConnect = [&](db::TMyConnection& s) {
            ++calls;
            dbconn::useSandbox(s, sb);
            k.setup(s);
        };
        try {
            c.Open();
            ADD_FAILURE() << k.what << ": no exception";
        } catch (const db::EMyError& e) {
            EXPECT_EQ(e.ErrorCode(), k.code) << k.what;
            EXPECT_TRUE(std::string(e.what()).starts_with(k.prefix)) << k.what << ": " << e.what();
        }
        EXPECT_FALSE(c.Connected()) << k.what;
        // The next attempt runs the handler again.
        EXPECT_THROW(c.Open(), db::EMyError);
        EXPECT_EQ(calls, 2) << k.what;
    }
}

TEST(TMyConnection, LostSessionFailsEachLaterStatement) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    db::TMyConnection c;
    dbconn::useSandbox(c, sb);
    c.Open();
    const std::uint32_t id = c.Session()->threadId;
    dbconn::must(sb, "KILL " + std::to_string(id));
    std::vector<int> codes;
    for (int i = 0; i < 3; ++i) {
        try {
            c.run("DO 1");
            codes.push_back(0);
        } catch (const db::EMyError& e) {
            EXPECT_TRUE(e.IsFatalError()) << e.what();
            codes.push_back(e.ErrorCode());
        }
    }
    ASSERT_EQ(codes.size(), 3u);
    EXPECT_TRUE(codes[0] == 2013 || codes[0] == 2006) << codes[0];
    EXPECT_EQ(codes[1], 2006);
    EXPECT_EQ(codes[2], 2006);
    // Only Close and a new Open connect again.
    c.Close();
    c.run("DO 1");
}

}  // namespace
