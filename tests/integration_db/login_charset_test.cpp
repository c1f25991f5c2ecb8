// Login texts and statements cross the connection in its character set: a user name and a
// password outside ASCII log in (sent as latin1, as the server reads them), and a statement
// with a character latin1 cannot hold is refused before anything is sent.
#include <gtest/gtest.h>

#include <cstdlib>

#include "db/errors.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "tests/support/mariadb_sandbox.h"
#include "tests/support/temp_dir.h"

namespace {

struct ToolRun {
    int exitCode;
    std::string out, err;
};

ToolRun query(const testsupport::MariaDbSandbox& sb, const std::string& user,
              const std::string& password, const std::string& sql) {
    testsupport::TempDir tmp;
    const auto sqlFile = tmp.write("sql.txt", sql);
    const std::string out = (tmp.path() / "out").string(), err = (tmp.path() / "err").string();
    const std::string cmd = testsupport::binaryDir() + "/tools/qltool/qltool query --host " +
                            sb.host + " --port " + std::to_string(sb.port) + " --user '" + user +
                            "' --password '" + password + "' \"$(cat " + sqlFile.string() +
                            ")\" >" + out + " 2>" + err;
    const int rc = std::system(cmd.c_str());
    return {(rc >> 8) & 0xFF, testsupport::readFile(out), testsupport::readFile(err)};
}

class LoginCharset : public ::testing::Test {
  protected:
    void SetUp() override {
        sb = &QL_REQUIRE_SANDBOX();
        user = "g\xC3\xA9rant_" + testsupport::uniqueName("u");
        // The client sends the password's Windows-1252 bytes: the server's hash is made of
        // the same bytes.
        const auto r = testsupport::runSql(
            *sb, "CREATE USER '" + user + "'@'%'; EXECUTE IMMEDIATE CONCAT('ALTER USER ''" + user +
                     "''@''%'' IDENTIFIED BY PASSWORD ''', PASSWORD(CONVERT('" + password +
                     "' USING latin1)), '''')");
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }
    void TearDown() override {
        if (sb) testsupport::runSql(*sb, "DROP USER IF EXISTS '" + user + "'@'%'");
    }
    const testsupport::MariaDbSandbox* sb = nullptr;
    std::string user;
    const std::string password = "p\xC3\xA4ss";
};

TEST_F(LoginCharset, UserNameAndPasswordOutsideAsciiLogIn) {
    db::TMyConnection conn("MyLibs");
    conn.Server = sb->host;
    conn.Port = sb->port;
    conn.Username = user;
    conn.Password = password;
    db::TMyQuery q("q", &conn);
    q.SQL.SetText("SELECT CURRENT_USER()");
    q.Open();
    EXPECT_EQ(q.Fields(0).AsString(), user + "@%");

    ToolRun r = query(*sb, user, password, "SELECT CURRENT_USER()");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, user + "@%\n");
}

TEST_F(LoginCharset, TextsLatin1CannotHoldAreRefusedBeforeSending) {
    ToolRun r = query(*sb, user, password, "SELECT 'Erd\xC5\x91s'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "EDatabaseError: The statement holds \"\xC5\x91\" (U+0151) at line 1, column 12, "
              "which the connection's character set (latin1) cannot represent\n");

    db::TMyConnection conn("MyLibs");
    conn.Server = sb->host;
    conn.Port = sb->port;
    conn.Username = "g\xC5\x91z";
    EXPECT_THROW(conn.Open(), db::EDatabaseError);
    EXPECT_FALSE(conn.Connected());
}

}  // namespace
