// TMyQuery without a server: the text it would send (FinalSQL), macro rescans, parameters and
// the component-named messages.
#include <gtest/gtest.h>

#include "db/errors.h"
#include "db/my_connection.h"
#include "db/my_query.h"

namespace {

// Query texts of the shapes the updater uses (its own are in app/updater_queries.h).
constexpr const char* kSqlDitte = "SELECT * FROM librerie ORDER BY nome ASC";
constexpr const char* kSqlVersione = "SELECT * FROM &database";
constexpr const char* kSqlTriggersServer =
    "show triggers in &database where `Trigger`='tri_TADIMA00';";
constexpr const char* kSqlTriggersClient =
    "show triggers in &database where `Trigger`='tci_TADIMA00';";

TEST(TMyQueryText, FinalSqlJoinsTrimsAndExpands) {
    struct Case {
        std::vector<std::string> lines;
        std::vector<std::pair<std::string, std::string>> macros;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{"SELECT 1  ", "  FROM t \t", "", "  "}, {}, "SELECT 1  \r\n  FROM t"},
        {{"SELECT 1;\x01\x1f "}, {}, "SELECT 1;"},
        {{kSqlVersione}, {{"database", "OSF01A._versione"}}, "SELECT * FROM OSF01A._versione"},
        {{kSqlVersione}, {{"DataBase", ""}}, "SELECT * FROM "},
        {{kSqlTriggersServer},
         {{"database", "OSFX"}},
         "show triggers in OSFX where `Trigger`='tri_TADIMA00';"},
        {{kSqlTriggersClient},
         {{"database", "OSFX"}},
         "show triggers in OSFX where `Trigger`='tci_TADIMA00';"},
        // "&" inside quotes and comments is no macro; the value is inserted as it is.
        {{"SELECT '&database', &database -- &database"},
         {{"database", "a b"}},
         "SELECT '&database', a b -- &database"},
    };
    for (const Case& c : cases) {
        db::TMyQuery q("q");
        for (const auto& l : c.lines) q.SQL.Add(l);
        for (const auto& [n, v] : c.macros) q.MacroByName(n).Value = v;
        EXPECT_EQ(q.FinalSQL(), c.expected) << c.lines.front();
    }
}

TEST(TMyQueryText, RescanKeepsSurvivingMacroValues) {
    db::TMyQuery q("qryVersione");
    q.SQL.SetText(kSqlVersione);
    ASSERT_EQ(q.Macros.Count(), 1);
    q.MacroByName("database").Value = "s1._versione";
    q.SQL.Add("WHERE x = &other");
    EXPECT_EQ(q.Macros.Count(), 2);
    q.MacroByName("other").Value = "7";
    EXPECT_EQ(q.FinalSQL(), "SELECT * FROM s1._versione\r\nWHERE x = 7");
    q.SQL.Clear();
    EXPECT_EQ(q.Macros.Count(), 0);
    EXPECT_EQ(q.FinalSQL(), "");

    db::TMyQuery ditte("qryDitte");
    ditte.SQL.SetText(kSqlDitte);
    EXPECT_EQ(ditte.Macros.Count(), 0);
}

TEST(TMyQueryText, MessagesCarryTheQueryName) {
    db::TMyQuery q("qryDitte");
    q.SQL.SetText(kSqlDitte);
    try {
        q.MacroByName("database");
        FAIL() << "no exception";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "qryDitte: Macro database not found");
    }
    // A closed query has no fields.
    try {
        q.FieldByName("nome");
        FAIL() << "no exception";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "qryDitte: Field 'nome' not found");
    }
    // Lexer failure in the text: raised when the text is used, never sent.
    db::TMyQuery bad("qryBad");
    bad.SQL.SetText("SELECT \x0c &a");
    EXPECT_THROW(bad.FinalSQL(), db::EParserError);
    db::TMyConnection neverOpened;
    bool called = false;
    neverOpened.BeforeConnect = [&](db::TMyConnection&) { called = true; };
    bad.Connection = &neverOpened;
    EXPECT_THROW(bad.Open(), db::EParserError);
    EXPECT_FALSE(called);
    EXPECT_FALSE(bad.Active());
}

TEST(TMyQueryText, ParamsOutsideQuotesAndComments) {
    struct Case {
        std::string sql;
        std::vector<std::string> params;
    };
    const std::vector<Case> cases = {
        {kSqlDitte, {}},
        {"SELECT * FROM t WHERE a = :a AND b = :B or c = :a", {"a", "B"}},
        {"SELECT ':x', `:y` /* :z */ -- :w", {}},
        {"SELECT '12:30'", {}},
    };
    for (const Case& c : cases) {
        db::TMyQuery q("q");
        q.SQL.SetText(c.sql);
        EXPECT_EQ(q.Params(), c.params) << c.sql;
    }
    db::TMyQuery off("q");
    off.ParamCheck = false;
    off.SQL.SetText("SELECT :a");
    EXPECT_TRUE(off.Params().empty());
}

TEST(TMyConnectionSettings, ServerTextGivesTheHost) {
    EXPECT_EQ(db::TMyConnection::HostOf("dbhost,1433"), "dbhost");
    EXPECT_EQ(db::TMyConnection::HostOf("10.0.0.5,x,y"), "10.0.0.5");
    EXPECT_EQ(db::TMyConnection::HostOf(""), "localhost");
    EXPECT_EQ(db::TMyConnection::HostOf(",3306"), "localhost");
    EXPECT_EQ(db::TMyConnection::HostOf("server"), "server");
    db::TMyConnection c;
    EXPECT_EQ(c.Port, 3306u);
    EXPECT_EQ(c.ConnectionTimeout, 15);
    EXPECT_FALSE(c.Connected());
}

}  // namespace
