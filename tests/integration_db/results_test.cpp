// Queries and result sets of the session against the real MariaDB sandbox.
#include <gtest/gtest.h>

#include "tests/integration_db/session_helpers.h"

namespace {

using dbtest::connectRoot;
using dbtest::fetchAll;
using dbtest::query;

// A database of the test's own, dropped at the end.
class Results : public ::testing::Test {
  protected:
    void SetUp() override {
        m_sb = &QL_REQUIRE_SANDBOX();
        m_db = testsupport::uniqueName("qlres");
        auto r = testsupport::runSql(*m_sb, "CREATE DATABASE " + m_db);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        ASSERT_TRUE(connectRoot(s, *m_sb, m_db)) << s.errorText();
    }
    void TearDown() override {
        s.mysql_close();
        if (m_sb) testsupport::runSql(*m_sb, "DROP DATABASE IF EXISTS " + m_db);
    }

    const testsupport::MariaDbSandbox* m_sb = nullptr;
    std::string m_db;
    db::TMySqlSession s;
};

TEST_F(Results, OkPacketsCarryCountsAndInsertId) {
    ASSERT_TRUE(s.mysql_real_query("CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v INT)"))
        << s.errorText();
    EXPECT_EQ(s.mysql_use_result(), nullptr);  // an OK answer has no rows
    EXPECT_EQ(s.errorNumber(), 0u);
    ASSERT_TRUE(s.mysql_real_query("INSERT INTO t (v) VALUES (1), (2), (2)")) << s.errorText();
    EXPECT_EQ(s.affectedRows, 3u);
    EXPECT_EQ(s.insertId, 1u);
    EXPECT_EQ(s.info, "Records: 3  Duplicates: 0  Warnings: 0");
    // CLIENT_FOUND_ROWS: rows matched, not rows changed.
    ASSERT_TRUE(s.mysql_real_query("UPDATE t SET v = 2 WHERE v = 2")) << s.errorText();
    EXPECT_EQ(s.affectedRows, 2u);
    ASSERT_TRUE(s.mysql_real_query("INSERT IGNORE INTO t (v) VALUES ('12x')")) << s.errorText();
    EXPECT_EQ(s.warningCount, 1);
}

TEST_F(Results, ColumnDefinitions) {
    ASSERT_TRUE(
        s.mysql_real_query("CREATE TABLE librerie (nome VARCHAR(60), Studio INT NOT NULL)"));
    ASSERT_TRUE(s.mysql_real_query("SELECT nome AS n, Studio FROM librerie l")) << s.errorText();
    ASSERT_EQ(s.fieldCount(), 2u);
    const auto& f = s.fields();
    EXPECT_EQ(f[0].Name, "n");
    EXPECT_EQ(f[0].OrgName, "nome");
    EXPECT_EQ(f[0].Table, "l");
    EXPECT_EQ(f[0].OrgTable, "librerie");
    EXPECT_EQ(f[0].Database, m_db);
    EXPECT_EQ(f[0].Type, 0xFD);      // VARCHAR
    EXPECT_EQ(f[1].Type, 0x03);      // INT
    EXPECT_NE(f[1].Flags & 1u, 0u);  // NOT NULL
    EXPECT_EQ(s.status, db::msGetResult);
    EXPECT_EQ(fetchAll(s), "");
    EXPECT_EQ(s.status, db::msReady);
}

// Enough rows for the sequence numbers to wrap from 255 to 0 many times.
TEST_F(Results, ManyRowsWithNulls) {
    ASSERT_TRUE(s.mysql_real_query(
        "SELECT seq, IF(seq % 3 = 0, NULL, CONCAT('row ', seq)), '' FROM seq_1_to_100000"))
        << s.errorText();
    db::TMySqlResultSet* rs = s.mysql_use_result();
    ASSERT_NE(rs, nullptr);
    std::uint64_t n = 0, nulls = 0;
    while (const db::RowValues* row = s.mysql_fetch_row(rs)) {
        ++n;
        ASSERT_EQ(row->size(), 3u);
        ASSERT_EQ((*row)[0], std::to_string(n));
        if (n % 3 == 0) {
            ASSERT_FALSE((*row)[1].has_value()) << n;
            ++nulls;
        } else {
            ASSERT_EQ((*row)[1], "row " + std::to_string(n));
        }
        ASSERT_EQ((*row)[2], "");
    }
    EXPECT_EQ(s.errorNumber(), 0u) << s.errorText();
    EXPECT_EQ(n, 100000u);
    EXPECT_EQ(nulls, 33333u);
    EXPECT_EQ(query(s, "SELECT 'next'"), "next\n");
}

// Over 16 MiB both ways: the query is sent as several packets, the row comes back in several.
TEST_F(Results, RowAndQueryOver16MiB) {
    const std::size_t size = 17 * 1024 * 1024 + 3;
    std::string sql = "SELECT LENGTH('" + std::string(size, 'q') + "'), REPEAT('x', " +
                      std::to_string(size) + "), 'tail'";
    ASSERT_TRUE(s.mysql_real_query(sql)) << s.errorText();
    db::TMySqlResultSet* rs = s.mysql_use_result();
    const db::RowValues* row = s.mysql_fetch_row(rs);
    ASSERT_NE(row, nullptr) << s.errorText();
    EXPECT_EQ((*row)[0], std::to_string(size));
    ASSERT_TRUE((*row)[1].has_value());
    EXPECT_EQ((*row)[1]->size(), size);
    EXPECT_EQ((*row)[1]->find_first_not_of('x'), std::string_view::npos);
    EXPECT_EQ((*row)[2], "tail");
    EXPECT_EQ(s.mysql_fetch_row(rs), nullptr);
    EXPECT_EQ(s.errorNumber(), 0u);
}

TEST_F(Results, MultiStatementsWithAnErrorInTheSecond) {
    ASSERT_TRUE(s.mysql_real_query("SELECT 1; SELECT * FROM no_such_table; SELECT 3"))
        << s.errorText();
    EXPECT_EQ(fetchAll(s), "1\n");
    EXPECT_TRUE(s.mysql_more_results());
    EXPECT_GT(s.mysql_next_result(), 0);
    EXPECT_EQ(s.errorNumber(), 1146u);
    EXPECT_TRUE(
        s.errorText().starts_with("\r\n#42S02Table '" + m_db + ".no_such_table' doesn't exist"))
        << s.errorText();
    // The error ended the batch; the connection goes on.
    EXPECT_FALSE(s.mysql_more_results());
    EXPECT_EQ(s.mysql_next_result(), -1);
    EXPECT_EQ(query(s, "SELECT 'after'"), "after\n");
}

TEST_F(Results, MultiStatementsOfEveryKind) {
    ASSERT_TRUE(s.mysql_real_query(
        "CREATE TABLE t (a INT); INSERT INTO t VALUES (7),(8); SELECT a FROM t; DO 1"))
        << s.errorText();
    EXPECT_EQ(s.mysql_use_result(), nullptr);  // CREATE: an OK packet
    EXPECT_TRUE(s.mysql_more_results());
    EXPECT_EQ(s.mysql_next_result(), 0);
    EXPECT_EQ(s.affectedRows, 2u);
    EXPECT_EQ(s.mysql_next_result(), 0);
    EXPECT_EQ(fetchAll(s), "7\n8\n");
    EXPECT_TRUE(s.mysql_more_results());
    EXPECT_EQ(s.mysql_next_result(), 0);
    EXPECT_FALSE(s.mysql_more_results());
    EXPECT_EQ(s.mysql_next_result(), -1);

    // The script runner's way: every result taken, rows dropped.
    EXPECT_TRUE(s.executeDiscardingRows("SELECT a FROM t; SELECT 2; UPDATE t SET a = a + 1"))
        << s.errorText();
    EXPECT_EQ(s.affectedRows, 2u);
    EXPECT_FALSE(s.executeDiscardingRows("SELECT a FROM t; SELECT nope FROM t; SELECT 3"));
    EXPECT_EQ(s.errorNumber(), 1054u);
    EXPECT_EQ(query(s, "SELECT SUM(a) FROM t"), "17\n");
}

TEST_F(Results, CommandsOutOfSync) {
    ASSERT_TRUE(s.mysql_real_query("SELECT 1 UNION SELECT 2")) << s.errorText();
    // Rows still waiting: a new query is refused and the pending result is untouched.
    EXPECT_FALSE(s.mysql_real_query("SELECT 3"));
    EXPECT_EQ(s.errorNumber(), 2014u);
    EXPECT_EQ(s.errorText(), "Commands out of sync;  You can't run this command now");
    db::TMySqlResultSet* rs = s.mysql_use_result();
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(s.mysql_use_result(), nullptr);
    EXPECT_EQ(s.errorNumber(), 2014u);
    EXPECT_EQ(s.errorText(),
              "Commands out of sync;  You can't run this command now\r\nmysql.status = 2");
    EXPECT_NE(s.mysql_fetch_row(rs), nullptr);
    s.mysql_free_result(rs);  // drops the second row
    EXPECT_EQ(s.status, db::msReady);
    // Further results not taken block a new query as well.
    ASSERT_TRUE(s.mysql_real_query("DO 1; DO 2")) << s.errorText();
    EXPECT_FALSE(s.mysql_real_query("SELECT 4"));
    EXPECT_EQ(s.errorNumber(), 2014u);
    EXPECT_EQ(s.mysql_next_result(), 0);
    EXPECT_EQ(query(s, "SELECT 4"), "4\n");
}

TEST_F(Results, TriggerWithBeginEndBody) {
    ASSERT_TRUE(s.mysql_real_query("CREATE TABLE t (a INT, b INT)")) << s.errorText();
    ASSERT_TRUE(s.mysql_real_query(
        "CREATE TRIGGER tri_TADIMA00 BEFORE INSERT ON t FOR EACH ROW\r\nBEGIN\r\n"
        "  SET NEW.b = NEW.a * 2;\r\n  IF NEW.a > 10 THEN SET NEW.a = 10; END IF;\r\nEND"))
        << s.errorText();
    ASSERT_TRUE(s.mysql_real_query("INSERT INTO t (a) VALUES (3), (30)")) << s.errorText();
    EXPECT_EQ(query(s, "SELECT a, b FROM t ORDER BY b"), "3\t6\n10\t60\n");
    EXPECT_EQ(
        query(s, "show triggers in " + m_db + " where `Trigger`='tri_TADIMA00';").substr(0, 13),
        "tri_TADIMA00\t");
    // DELIMITER belongs to the command-line client; the server calls it a syntax error.
    EXPECT_FALSE(s.mysql_real_query("DELIMITER $$"));
    EXPECT_EQ(s.errorNumber(), 1064u);
}

// LOAD DATA LOCAL: the server names a file of ours; the client never sends it.
TEST_F(Results, LocalFileRequestIsRefused) {
    ASSERT_TRUE(s.mysql_real_query("CREATE TABLE t (line TEXT)")) << s.errorText();
    EXPECT_FALSE(s.mysql_real_query("LOAD DATA LOCAL INFILE '/etc/hostname' INTO TABLE t"));
    EXPECT_EQ(s.errorNumber(), 2068u);
    EXPECT_EQ(s.errorText(),
              "LOAD DATA LOCAL INFILE file request rejected due to restrictions on access.");
    EXPECT_TRUE(s.connected());
    EXPECT_EQ(query(s, "SELECT COUNT(*) FROM t"), "0\n");
    // Inside a batch the refusal also drains the results that follow.
    EXPECT_FALSE(
        s.mysql_real_query("LOAD DATA LOCAL INFILE '/etc/hostname' INTO TABLE t; SELECT 5"));
    EXPECT_EQ(s.errorNumber(), 2068u);
    EXPECT_EQ(query(s, "SELECT COUNT(*) FROM t"), "0\n");
}

TEST_F(Results, Latin1TextRoundTrip) {
    // Bytes of the connection's single-byte character set go through unchanged.
    EXPECT_EQ(query(s, "SELECT 'caf\xe9', HEX('\xe9')"), "caf\xe9\tE9\n");
}

}  // namespace
