// The updater's four queries on a sample company list and two company schemas (one with both
// triggers, one with none), and the errors the survey meets.
#include <gtest/gtest.h>

#include "app/updater_queries.h"
#include "db/errors.h"
#include "db/my_query.h"
#include "tests/integration_dbconn/dbconn_helpers.h"

namespace {

class UpdaterQueries : public ::testing::Test {
  protected:
    void SetUp() override {
        sb = &QL_REQUIRE_SANDBOX();
        lib = testsupport::uniqueName("ostrellib");
        studio = testsupport::uniqueName("s");
        full = "osf" + studio + "a01";
        empty = "osf" + studio + "b02";
        dbconn::must(*sb, "CREATE DATABASE " + lib + "; CREATE TABLE " + lib +
                              ".librerie (nome VARCHAR(40), Studio VARCHAR(40), Ditta VARCHAR(10), "
                              "n INT) DEFAULT CHARSET=latin1;"
                              "INSERT INTO " +
                              lib + ".librerie VALUES ('Zeta srl','" + studio +
                              "','b02',NULL), (CONCAT('Caff', CHAR(0xE8 USING latin1)),'" + studio +
                              "','a01',-42);"
                              "CREATE DATABASE " +
                              full + "; CREATE TABLE " + full +
                              "._versione (versione VARCHAR(20), VID INT);"
                              "INSERT INTO " +
                              full +
                              "._versione VALUES ('2.10.3', 7), ('9.9', 9);"
                              "CREATE TABLE " +
                              full +
                              ".t (a INT);"
                              "CREATE TRIGGER " +
                              full + ".tri_TADIMA00 BEFORE INSERT ON " + full +
                              ".t FOR EACH ROW SET NEW.a = NEW.a;"
                              "CREATE TRIGGER " +
                              full + ".tci_TADIMA00 AFTER INSERT ON " + full +
                              ".t FOR EACH ROW SET @x = 1;"
                              "CREATE DATABASE " +
                              empty + "; CREATE TABLE " + empty +
                              "._versione (versione VARCHAR(20), VID INT);"
                              "INSERT INTO " +
                              empty + "._versione VALUES ('1.0', NULL);");
        conn.BeforeConnect = [this](db::TMyConnection& c) {
            dbconn::useSandbox(c, *sb);
            c.Database = lib;
        };
        qryDitte.SQL.SetText(app::kSqlDitte);
        qryVersione.SQL.SetText(app::kSqlVersione);
        qryTriggersServer.SQL.SetText(app::kSqlTriggersServer);
        qryTriggersClient.SQL.SetText(app::kSqlTriggersClient);
    }
    void TearDown() override {
        conn.Close();
        if (sb)
            testsupport::runSql(*sb, "DROP DATABASE IF EXISTS " + lib +
                                         "; DROP DATABASE IF EXISTS " + full +
                                         "; DROP DATABASE IF EXISTS " + empty);
    }

    const testsupport::MariaDbSandbox* sb = nullptr;
    std::string lib, studio, full, empty;
    db::TMyConnection conn{"MyLibs"};
    db::TMyQuery qryDitte{"qryDitte", &conn}, qryVersione{"qryVersione", &conn},
        qryTriggersServer{"qryTriggersServer", &conn},
        qryTriggersClient{"qryTriggersClient", &conn};
};

TEST_F(UpdaterQueries, SurveyReadsCompaniesVersionsAndTriggers) {
    conn.Open();
    qryDitte.Open();
    EXPECT_EQ(qryDitte.RecordCount(), 2);
    std::vector<std::string> seen;
    for (; !qryDitte.Eof(); qryDitte.Next()) {
        const std::string schema = "OSF" + qryDitte.FieldByName("STUDIO").AsString() +
                                   qryDitte.FieldByName("ditta").AsString();
        qryTriggersServer.MacroByName("database").Value = schema;
        qryTriggersServer.Open();
        qryTriggersClient.MacroByName("DATABASE").Value = schema;
        qryTriggersClient.Open();
        qryVersione.MacroByName("database").Value = schema + "._versione";
        qryVersione.Open();
        ASSERT_FALSE(qryVersione.IsEmpty());
        seen.push_back(qryDitte.FieldByName("nome").AsString() + "|" +
                       qryDitte.FieldByName("n").AsString() + "|" +
                       qryVersione.FieldByName("versione").AsString() + "|" +
                       qryVersione.FieldByName("VID").AsString() + "|" +
                       std::to_string(qryTriggersServer.RecordCount()) + "|" +
                       std::to_string(qryTriggersClient.RecordCount()));
        qryVersione.Close();
        qryTriggersServer.Close();
        qryTriggersClient.Close();
    }
    // latin1 0xE8 arrives as UTF-8 "è"; only the first _versione row is read; NULL reads "".
    EXPECT_EQ(seen,
              (std::vector<std::string>{"Caff\xc3\xa8|-42|2.10.3|7|1|1", "Zeta srl||1.0||0|0"}));
    EXPECT_TRUE(qryDitte.Active());
    qryDitte.Next();
    EXPECT_TRUE(qryDitte.Eof());
    EXPECT_THROW(qryDitte.FieldByName("Studio2"), db::EDatabaseError);
}

TEST_F(UpdaterQueries, ServerErrorsLeaveTheQueryClosed) {
    struct Case {
        db::TMyQuery* query;
        std::string database;
        int code;
        std::string prefix;
        int line;
    };
    const std::vector<Case> cases = {
        {&qryTriggersServer, "no_such_schema_q", 1049, "\r\n#42000Unknown database", 0},
        {&qryVersione, full + ".no_table", 1146, "\r\n#42S02Table '" + full + ".no_table'", 0},
        {&qryVersione, "", 1064, "\r\n#42000You have an error in your SQL syntax", 1},
    };
    for (const Case& k : cases) {
        k.query->MacroByName("database").Value = k.database;
        try {
            k.query->Open();
            ADD_FAILURE() << k.database << ": no exception";
        } catch (const db::EMyError& e) {
            EXPECT_EQ(e.ErrorCode(), k.code);
            EXPECT_TRUE(std::string(e.what()).starts_with(k.prefix)) << e.what();
            EXPECT_EQ(e.LineNumber(), k.line) << e.what();
        }
        EXPECT_FALSE(k.query->Active());
        // The connection stays usable for the next query.
        qryDitte.Open();
        EXPECT_EQ(qryDitte.RecordCount(), 2);
        qryDitte.Close();
    }
}

TEST_F(UpdaterQueries, OpenOpensTheConnectionAndReadsOnlyTheFirstResult) {
    int calls = 0;
    auto inner = conn.BeforeConnect;
    conn.BeforeConnect = [&](db::TMyConnection& c) {
        ++calls;
        inner(c);
    };
    db::TMyQuery q("q", &conn);
    q.SQL.SetText("SELECT 1 AS a UNION SELECT 2;  SELECT 3; \r\n  ");
    q.Open();
    q.Open();  // already open: nothing happens
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.FieldByName("A").AsString(), "1");
    q.Next();
    EXPECT_EQ(q.FieldByName("a").AsString(), "2");
    q.Close();
    EXPECT_EQ(q.RecordCount(), 0);
    // The session is ready for the next query after the dropped second result.
    qryDitte.Open();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(qryDitte.RecordCount(), 2);
}

}  // namespace

// A result that needs more than the query may hold fails with a clear EMyError and leaves the
// query closed; its rows, and further results of the same text, are read and dropped so the
// connection goes on.
TEST_F(UpdaterQueries, ResultOverTheLimitFailsAndTheConnectionGoesOn) {
    db::TMyQuery q("qryBig", &conn);
    q.SQL.SetText("SELECT REPEAT('x', 1000) AS v FROM seq_1_to_2000; SELECT 1;");
    q.MaxResultBytes = 100000;
    try {
        q.Open();
        ADD_FAILURE() << "no exception";
    } catch (const db::EMyError& e) {
        EXPECT_EQ(e.ErrorCode(), 2008);
        EXPECT_EQ(e.message(),
                  "MySQL client ran out of memory\r\nThe result needs more than the 100000 bytes "
                  "one result may hold");
        EXPECT_FALSE(e.IsFatalError());
    }
    EXPECT_FALSE(q.Active());
    qryDitte.Open();
    EXPECT_EQ(qryDitte.RecordCount(), 2);
    // Within the limit the same rows are kept whole.
    q.MaxResultBytes = db::kMaxResultBytes;
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2000);
    EXPECT_EQ(q.FieldByName("v").AsString(), std::string(1000, 'x'));
    EXPECT_LT(q.ResultBytes(), 2000u * 1100u);
}
