// TMyScript running on TMyConnection against the sandbox: routine bodies with ";", the "/"
// line, the error actions, statements returning rows (qltool run-script, which runs a script as
// the updater does, is tested with the updater in tests/integration_workflow).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "db/errors.h"
#include "db/my_query.h"
#include "db/script.h"
#include "tests/integration_dbconn/dbconn_helpers.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

class ScriptRun : public ::testing::Test {
  protected:
    void SetUp() override {
        sb = &QL_REQUIRE_SANDBOX();
        schema = testsupport::uniqueName("scr");
        dbconn::must(*sb, "CREATE DATABASE " + schema);
        dbconn::useSandbox(conn, *sb, schema);
        script.Connection = &conn;
        script.AfterExecute = [this](db::TMyScript&, const std::string& sql) {
            after.push_back(sql);
        };
    }
    void TearDown() override {
        conn.Close();
        if (sb) testsupport::runSql(*sb, "DROP DATABASE IF EXISTS " + schema);
    }
    std::string one(const std::string& sql) {
        db::TMyQuery q("q", &conn);
        q.SQL.SetText(sql);
        q.Open();
        std::string out;
        for (; !q.Eof(); q.Next()) {
            for (int i = 0; i < q.FieldCount(); ++i)
                out += (i ? "\t" : "") + q.Fields(i).AsString();
            out += "\n";
        }
        return out;
    }

    const testsupport::MariaDbSandbox* sb = nullptr;
    std::string schema;
    db::TMyConnection conn{"MyLibs"};
    db::TMyScript script;
    std::vector<std::string> after;
};

TEST_F(ScriptRun, RoutineBodiesWithSemicolons) {
    script.SQL.SetText(
        "CREATE TABLE t (a INT, b INT);\n"
        "DELIMITER $$\n"
        "-- the trigger doubles b\n"
        "CREATE TRIGGER tri_TADIMA00 BEFORE INSERT ON t FOR EACH ROW\n"
        "BEGIN\n  SET NEW.b = NEW.a * 2;\n  SET @n = IFNULL(@n, 0) + 1;\nEND$$\n"
        "CREATE PROCEDURE p_fill(IN k INT)\nBEGIN\n  DECLARE i INT DEFAULT 0;\n"
        "  WHILE i < k DO\n    INSERT INTO t (a) VALUES (i);\n    SET i = i + 1;\n  END "
        "WHILE;\nEND$$\n"
        "DELIMITER ;\n"
        "CREATE PROCEDURE p_slash()\nBEGIN\n  SELECT 1;\n  SELECT 2;\nEND;\n/\n"
        "CALL p_fill(3);\n"
        "CALL p_slash();\n");
    script.Execute();
    EXPECT_EQ(after.size(), 6u);  // the two DELIMITER commands are neither sent nor reported
    EXPECT_EQ(one("SELECT COUNT(*) FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA='" +
                  schema + "' AND TRIGGER_NAME='tri_TADIMA00'"),
              "1\n");
    EXPECT_EQ(one("SHOW PROCEDURE STATUS WHERE Db='" + schema + "'").empty(), false);
    EXPECT_EQ(one("SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA='" +
                  schema + "'"),
              "2\n");
    EXPECT_EQ(one("SELECT a, b FROM t ORDER BY a"), "0\t0\n1\t2\n2\t4\n");
}

TEST_F(ScriptRun, ErrorActions) {
    const std::string text =
        "CREATE TABLE t (a INT);\nINSERT INTO t VALUES (1);\nINSERT INTO no_table VALUES (2);\n"
        "INSERT INTO t VALUES (3);\n";
    struct Case {
        db::TErrorAction action;
        bool throws;
        std::size_t afterCount;
        std::string rows;
    };
    const std::vector<Case> cases = {
        {db::TErrorAction::eaContinue, false, 4, "1\n3\n"},
        {db::TErrorAction::eaAbort, false, 3, "1\n"},
        {db::TErrorAction::eaFail, true, 2, "1\n"},
    };
    for (const Case& k : cases) {
        dbconn::must(*sb, "DROP TABLE IF EXISTS " + schema + ".t");
        after.clear();
        std::vector<std::string> failed;
        script.SQL.SetText(text);
        script.OnError = [&](db::TMyScript&, const std::exception& e, const std::string& sql,
                             db::TErrorAction& action) {
            const auto* my = dynamic_cast<const db::EMyError*>(&e);
            EXPECT_TRUE(my && my->ErrorCode() == 1146) << e.what();
            failed.push_back(sql);
            action = k.action;
        };
        bool threw = false;
        try {
            script.Execute();
        } catch (const db::EMyError& e) {
            threw = true;
            EXPECT_EQ(e.ErrorCode(), 1146);
        }
        EXPECT_EQ(threw, k.throws);
        EXPECT_EQ(failed, std::vector<std::string>{"INSERT INTO no_table VALUES (2)"});
        EXPECT_EQ(after.size(), k.afterCount);
        EXPECT_EQ(one("SELECT a FROM t ORDER BY a"), k.rows);
    }
}

// A statement holding a character the connection's character set cannot represent is not
// sent (it would store a "?"): it fails through the error event, naming the character and its
// place in the statement, and the run goes on.
TEST_F(ScriptRun, StatementLatin1CannotHoldFailsThroughTheErrorEvent) {
    script.SQL.SetText(
        "CREATE TABLE t (s VARCHAR(20)) DEFAULT CHARSET=latin1;\n"
        "INSERT INTO t VALUES ('caff\xC3\xA8');\n"
        "INSERT INTO t VALUES\n ('Erd\xC5\x91s');\n"
        "INSERT INTO t VALUES ('\xE2\x82\xACuro');\n");
    std::vector<std::pair<std::string, std::string>> failed;
    script.OnError = [&](db::TMyScript&, const std::exception& e, const std::string& sql,
                         db::TErrorAction& action) {
        EXPECT_NE(dynamic_cast<const db::EDatabaseError*>(&e), nullptr);
        failed.emplace_back(e.what(), sql);
        action = db::TErrorAction::eaContinue;
    };
    script.Execute();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].first,
              "The statement holds \"\xC5\x91\" (U+0151) at line 2, column 7, which the "
              "connection's character set (latin1) cannot represent");
    EXPECT_EQ(failed[0].second, "INSERT INTO t VALUES\r\n ('Erd\xC5\x91s')");
    EXPECT_EQ(after.size(), 4u);
    EXPECT_EQ(one("SELECT s FROM t ORDER BY s"), "caff\xC3\xA8\n\xE2\x82\xACuro\n");
}

TEST_F(ScriptRun, RowsAreDroppedAndTheNextStatementRuns) {
    script.SQL.SetText(
        "CREATE TABLE t (a INT);\nSELECT 1 UNION SELECT 2;\nSHOW TABLES;\nINSERT INTO t VALUES "
        "(5);\n"
        "SELECT * FROM t; SELECT 2;\nINSERT INTO t VALUES (6)   \n");
    script.Execute();
    EXPECT_EQ(after.size(), 7u);
    EXPECT_EQ(one("SELECT a FROM t ORDER BY a"), "5\n6\n");
}

}  // namespace

namespace {

// A dump by `mariadb-dump --routines --triggers` of a sample schema, run through the runner
// into an empty schema, rebuilds every object with the same definition.
TEST_F(ScriptRun, MariadbDumpRoundTrip) {
    const std::string src = testsupport::uniqueName("dumpsrc");
    dbconn::must(*sb, "CREATE DATABASE " + src);
    const auto setup = testsupport::runSql(
        *sb,
        "CREATE TABLE t (id INT PRIMARY KEY AUTO_INCREMENT, name VARCHAR(30) DEFAULT 'a;b', "
        "n INT);\n"
        "INSERT INTO t (name, n) VALUES ('x;y', 1), ('it''s', NULL), ('back\\\\slash', 3);\n"
        "CREATE VIEW v AS SELECT id, UPPER(name) AS u FROM t WHERE n IS NOT NULL;\n"
        "DELIMITER //\n"
        "CREATE TRIGGER trg BEFORE INSERT ON t FOR EACH ROW BEGIN SET NEW.n = IFNULL(NEW.n, 0); "
        "SET NEW.name = CONCAT(NEW.name, ';'); END//\n"
        "CREATE PROCEDURE pr(IN k INT) BEGIN DECLARE i INT DEFAULT 0; WHILE i < k DO "
        "INSERT INTO t (name) VALUES ('p'); SET i = i + 1; END WHILE; END//\n"
        "CREATE FUNCTION fn(a INT) RETURNS INT DETERMINISTIC BEGIN DECLARE r INT; "
        "SET r = a * 2; RETURN r; END//\n"
        "DELIMITER ;\n",
        src);
    ASSERT_EQ(setup.exitCode, 0) << setup.output;

    testsupport::TempDir tmp;
    const std::string dump = (tmp.path() / "dump.sql").string();
    const std::string cmd = "mariadb-dump --host=" + sb->host +
                            " --port=" + std::to_string(sb->port) + " --user=root --password='" +
                            sb->rootPassword + "' --routines --triggers " + src + " >" + dump +
                            " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << testsupport::readFile(dump);

    script.SQL.LoadFromFile(dump);
    std::vector<std::string> errors;
    script.OnError = [&](db::TMyScript&, const std::exception& e, const std::string&,
                         db::TErrorAction& action) {
        errors.push_back(e.what());
        action = db::TErrorAction::eaContinue;
    };
    script.Execute();
    EXPECT_EQ(errors, std::vector<std::string>{});

    // The definition column of each SHOW CREATE, with the schema's name taken out.
    auto definition = [&](const std::string& db, const std::string& what, int column) {
        db::TMyQuery q("q", &conn);
        q.SQL.SetText("SHOW CREATE " + what.substr(0, what.find(' ') + 1) + db + "." +
                      what.substr(what.find(' ') + 1));
        q.Open();
        std::string text = q.Fields(column).AsString();
        // Outside the connection's default schema the server qualifies names with it.
        const std::string qualifier = "`" + db + "`.";
        for (std::size_t p; (p = text.find(qualifier)) != std::string::npos;)
            text.erase(p, qualifier.size());
        return text;
    };
    const std::vector<std::pair<std::string, int>> objects = {
        {"TABLE t", 1}, {"VIEW v", 1}, {"TRIGGER trg", 2}, {"PROCEDURE pr", 2}, {"FUNCTION fn", 2}};
    for (const auto& [what, column] : objects) {
        const std::string original = definition(src, what, column);
        EXPECT_FALSE(original.empty()) << what;
        EXPECT_EQ(definition(schema, what, column), original) << what;
    }
    EXPECT_EQ(one("SELECT name, n FROM t ORDER BY id"), "x;y\t1\nit's\t\nback\\slash\t3\n");
    // The trigger came across and works.
    conn.run("INSERT INTO t (name) VALUES ('z')");
    EXPECT_EQ(one("SELECT name, n FROM t WHERE name LIKE 'z%'"), "z;\t0\n");
    testsupport::runSql(*sb, "DROP DATABASE IF EXISTS " + src);
}

}  // namespace

namespace {

// What the sys schema holds: every routine, view and trigger with a digest of its body. The
// runner joins lines with CR LF where the client sends LF; the server keeps a routine's body as
// sent but shows it with control characters inside string literals escaped, so a line break in
// a literal reads "\r\n" from us and "\n" from the client. CR and the text "\r" are left out
// of the digest (the script holds no "\r" of its own; see docs/dbconn.md).
std::string sysSnapshot(const testsupport::MariaDbSandbox& sb) {
    const auto r = testsupport::runSql(
        sb,
        "SET SESSION group_concat_max_len = 16777216;"
        "SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA='sys';"
        "SELECT GROUP_CONCAT(CONCAT(ROUTINE_TYPE,' ',ROUTINE_NAME,' "
        "',MD5(REPLACE(REPLACE(ROUTINE_DEFINITION,CHAR(13),''),'\\\\r',''))) "
        "ORDER BY ROUTINE_NAME) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA='sys';"
        "SELECT GROUP_CONCAT(CONCAT(TABLE_NAME,' ',MD5(VIEW_DEFINITION)) ORDER BY TABLE_NAME) "
        "FROM information_schema.VIEWS WHERE TABLE_SCHEMA='sys';"
        "SELECT GROUP_CONCAT(CONCAT(TRIGGER_NAME,' ',MD5(REPLACE(ACTION_STATEMENT,CHAR(13),''))) "
        "ORDER BY "
        "TRIGGER_NAME) FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA='sys';"
        "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='sys';");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return r.output;
}

// MariaDB's own sys schema script builds the same schema through the runner as through the
// `mariadb` client (on a server of the test's own: the script replaces the schema "sys").
TEST(ScriptRunSys, SysSchemaAsTheClientBuildsIt) {
    const std::string file = "/usr/share/mysql/mysql_sys_schema.sql";
    if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " absent";
    testsupport::PrivateMariaDbSandbox server;
    ASSERT_NE(server.get(), nullptr);
    const auto& sb = *server.get();
    dbconn::must(sb, "DROP DATABASE IF EXISTS sys");

    db::TMyConnection conn;
    dbconn::useSandbox(conn, sb);
    db::TMyScript script;
    script.Connection = &conn;
    std::vector<std::string> errors;
    script.OnError = [&](db::TMyScript&, const std::exception& e, const std::string& sql,
                         db::TErrorAction& action) {
        errors.push_back(std::string(e.what()) + " ON " + sql.substr(0, 200));
        action = db::TErrorAction::eaContinue;
    };
    script.SQL.LoadFromFile(file);
    script.Execute();
    conn.Close();
    EXPECT_EQ(errors, std::vector<std::string>{});
    const std::string ours = sysSnapshot(sb);

    dbconn::must(sb, "DROP DATABASE IF EXISTS sys");
    // --comments: the client would otherwise strip the comments inside routine bodies that
    // the runner sends as written.
    const std::string cmd = "mariadb --comments --host=" + sb.host +
                            " --port=" + std::to_string(sb.port) + " --user=root --password='" +
                            sb.rootPassword + "' <" + file;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string theirs = sysSnapshot(sb);
    EXPECT_FALSE(theirs.starts_with("0\n")) << theirs.substr(0, 200);
    // Item by item, so that a difference names the object.
    auto items = [](std::string text) {
        for (char& c : text)
            if (c == '\n') c = ',';
        std::vector<std::string> out;
        for (std::size_t b = 0, e; b <= text.size(); b = e + 1) {
            e = std::min(text.find(',', b), text.size());
            out.push_back(text.substr(b, e - b));
        }
        return out;
    };
    const auto a = items(ours), b = items(theirs);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i], b[i]);
}

}  // namespace

namespace {

TEST_F(ScriptRun, QltoolQueryWithMacro) {
    dbconn::must(*sb, "CREATE TABLE " + schema + "._versione (versione VARCHAR(9), VID INT);" +
                          "INSERT INTO " + schema + "._versione VALUES ('3.1', NULL)");
    auto run = [&](const std::string& macro) {
        const testsupport::ToolRun r =
            testsupport::runTool({testsupport::qltoolPath(), "query", "--host", sb->host, "--port",
                                  std::to_string(sb->port), "--user", "root", "--password",
                                  sb->rootPassword, "--macro", macro, "SELECT * FROM &database  "},
                                 testsupport::Stderr::WithStdout);
        return std::to_string(r.status) + ":" + r.out;
    };
    EXPECT_EQ(run("database=" + schema + "._versione"), "0:3.1\t\\N\n");
    EXPECT_EQ(run("other=x"), "1:EDatabaseError: qltool: Macro other not found\n");
}

}  // namespace
