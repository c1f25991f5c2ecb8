#include "db/script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exception.h"
#include "core/text.h"
#include "db/errors.h"
#include "tests/support/temp_dir.h"

namespace {

using db::TErrorAction;

// A statement runner that records what it is sent and fails the statements it is told to,
// the way a connection throws EMyError for a server error.
class RecordingRunner : public db::StatementRunner {
  public:
    void ensureOpen() override { ++opens; }
    void run(const std::string& sql) override {
        sent.push_back(sql);
        if (sql.find("FAIL") != std::string::npos)
            throw db::EMyError(1064, "\r\n#42000syntax error at line 1");
        if (sql.find("ABORT") != std::string::npos) throw db::EAbort("");
    }
    int opens = 0;
    std::vector<std::string> sent;
};

// The handlers the updater installs, recording what they see.
struct Log {
    std::vector<std::string> after, errors;
    std::vector<std::string> displayed;
};

void attach(db::TMyScript& s, Log& log, TErrorAction answer) {
    s.AfterExecute = [&log](db::TMyScript&, const std::string& sql) { log.after.push_back(sql); };
    s.OnError = [&log, answer](db::TMyScript&, const std::exception& e, const std::string& sql,
                               TErrorAction& action) {
        EXPECT_EQ(action, TErrorAction::eaException) << "the action is preset";
        EXPECT_NE(dynamic_cast<const db::EMyError*>(&e), nullptr);
        log.errors.push_back(sql);
        action = answer;
    };
    s.ErrorDisplay = [&log](const std::exception& e) { log.displayed.push_back(e.what()); };
}

TEST(TMyScript, LoadFromFileDecodesJoinsAndTrims) {
    testsupport::TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"Windows-1252 without BOM, LF lines", "SELECT 'caff\xE8';\nX;\n\n  \t\n",
         "SELECT 'caff\xC3\xA8';\r\nX;"},
        {"UTF-8 with BOM, CR lines", "\xEF\xBB\xBFSELECT '\xE2\x82\xAC';\rX",
         "SELECT '\xE2\x82\xAC';\r\nX"},
        {"UTF-16LE with BOM",
         std::string("\xFF\xFE"
                     "A\0;\0\r\0\n\0B\0",
                     12),
         "A;\r\nB"},
        {"trailing control characters", std::string("A;\x01\x1F \0", 7), "A;"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        db::TMyScript s;
        s.SQL.LoadFromFile(dir.write("s.sql", c.bytes).string());
        EXPECT_EQ(s.ParseText(), c.text) << c.name;
    }
    db::TMyScript s;
    try {
        s.SQL.LoadFromFile(dir.str() + "missing.sql");
        ADD_FAILURE() << "no exception";
    } catch (const db::EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + dir.str() + "missing.sql\"");
    }
}

TEST(TMyScript, StatementsBuiltOnDemandAndDroppedOnChange) {
    db::TMyScript s;
    s.SQL.SetText("DELIMITER $$\nCREATE TRIGGER t BEGIN a; b; END$$\nDELIMITER ;\nSELECT :p;");
    EXPECT_FALSE(s.HasStatements());
    const auto& list = s.Statements();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_TRUE(list[0].Omit);
    EXPECT_EQ(list[1].SQL, "CREATE TRIGGER t BEGIN a; b; END");
    EXPECT_EQ(list[1].StartLine, 2);
    EXPECT_EQ(list[1].EndPos, 32);
    EXPECT_EQ(list[3].Params, (std::vector<std::string>{"p"}));
    EXPECT_EQ(s.Delimiter, ";") << "a DELIMITER command never changes the property";
    s.SQL.Add("SELECT 2;");
    EXPECT_FALSE(s.HasStatements());
    EXPECT_EQ(s.Statements().size(), 5u);
    s.SQL.Clear();
    EXPECT_TRUE(s.Statements().empty());

    s.SQL.SetText("A; B// C");
    EXPECT_EQ(s.Statements().size(), 2u);
    s.Delimiter = "//";
    EXPECT_FALSE(s.HasStatements()) << "a list read with another delimiter is stale";
    ASSERT_EQ(s.Statements().size(), 2u);
    EXPECT_EQ(s.Statements()[0].SQL, "A; B");
}

TEST(TMyScript, MacrosRescannedOnEveryChange) {
    db::TMyScript s;
    s.SQL.SetText("USE &DatabaseName;");
    s.MacroByName("databasename").Value = "OSF0101";
    s.SQL.Add("SELECT * FROM &DatabaseName._versione;");
    EXPECT_EQ(s.MacroByName("DatabaseName").Value, "OSF0101")
        << "a surviving macro keeps its value";
    // Clear leaves a text without macros: the macro is gone, and a later load starts afresh.
    s.SQL.Clear();
    s.SQL.Add("SELECT &DatabaseName;");
    EXPECT_EQ(s.MacroByName("DatabaseName").Value, "");
    s.SQL.SetText("SELECT 1;");
    try {
        s.MacroByName("DatabaseName");
        ADD_FAILURE() << "no exception";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Macro DatabaseName not found");
    }
}

TEST(TMyScript, ParseFailureBeforeAnythingIsSent) {
    db::TMyScript s;
    // The message names the character, a NUL too: it reaches the caller whole.
    s.SQL.SetText(std::string("SELECT 1;\nSELECT\0002;", 18));
    try {
        (void)s.Statements();
        ADD_FAILURE() << "no exception";
    } catch (const db::EParserError& e) {
        EXPECT_EQ(e.message(), std::string("Parser: The unknown symbol '\0'  $0000", 37));
        EXPECT_EQ(core::messageOf(e), e.message());
    }
    s.SQL.SetText("SELECT 1;\nSELECT\f2;");
    EXPECT_EQ(s.Macros.Count(), 0);
    try {
        (void)s.Statements();
        ADD_FAILURE() << "no exception";
    } catch (const db::EParserError& e) {
        EXPECT_STREQ(e.what(), "Parser: The unknown symbol '\f'  $000C");
    }
    RecordingRunner runner;
    EXPECT_THROW(s.Statements(), db::EParserError);
    EXPECT_TRUE(runner.sent.empty());
}

TEST(TMyScript, ExecuteExpandsTrimsAndSkipsOmitted) {
    db::TMyScript s;
    s.SQL.SetText(
        "-- header\n"
        "DELIMITER $$\n"
        "CREATE TRIGGER &DatabaseName.t BEFORE INSERT ON x FOR EACH ROW BEGIN SET @a = 1; END $$\n"
        "DELIMITER ;\n"
        "UPDATE &databasename._versione SET VID = '&DatabaseName' ;\n"
        "SELECT 1\n");
    s.MacroByName("DatabaseName").Value = "OSF0101";
    Log log;
    attach(s, log, TErrorAction::eaContinue);
    RecordingRunner runner;
    EXPECT_EQ(s.Statements().size(), 5u);
    s.Execute(runner);
    EXPECT_EQ(runner.opens, 1);
    const std::vector<std::string> sent = {
        "CREATE TRIGGER OSF0101.t BEFORE INSERT ON x FOR EACH ROW BEGIN SET @a = 1; END",
        "UPDATE OSF0101._versione SET VID = '&DatabaseName'",
        "SELECT 1",
    };
    EXPECT_EQ(runner.sent, sent);
    // AfterExecute sees the expanded text before the trailing blanks were cut.
    ASSERT_EQ(log.after.size(), 3u);
    EXPECT_EQ(log.after[0], sent[0] + " ");
    EXPECT_EQ(log.after[1], sent[1] + " ");
    EXPECT_TRUE(log.errors.empty());
}

// Each answer of the error handler, for a failing statement in the middle of three.
TEST(TMyScript, ErrorActions) {
    struct Case {
        TErrorAction answer;
        std::vector<std::string> sent;
        std::vector<std::string> after;  // AfterExecute gets the text before the trailing cut
        bool throws;
        std::size_t displayed;
    };
    const std::vector<Case> cases = {
        {TErrorAction::eaContinue, {"A", "FAIL x", "C"}, {"A", "FAIL x \r\n", "C"}, false, 0},
        {TErrorAction::eaAbort, {"A", "FAIL x"}, {"A", "FAIL x \r\n"}, false, 0},
        {TErrorAction::eaFail, {"A", "FAIL x"}, {"A"}, true, 0},
        {TErrorAction::eaException, {"A", "FAIL x", "C"}, {"A", "FAIL x \r\n", "C"}, false, 1},
    };
    for (const Case& c : cases) {
        db::TMyScript s;
        s.SQL.SetText("A;\n  FAIL x \n;\nC;");
        Log log;
        attach(s, log, c.answer);
        RecordingRunner runner;
        if (c.throws) {
            try {
                s.Execute(runner);
                ADD_FAILURE() << "eaFail must let the exception out";
            } catch (const db::EMyError& e) {
                EXPECT_EQ(e.ErrorCode(), 1064);
            }
        } else {
            s.Execute(runner);
        }
        const int k = static_cast<int>(c.answer);
        EXPECT_EQ(runner.sent, c.sent) << k;
        EXPECT_EQ(log.after, c.after) << k;
        EXPECT_EQ(log.errors, (std::vector<std::string>{"FAIL x"})) << k << ": trimmed both ends";
        EXPECT_EQ(log.displayed.size(), c.displayed) << k;
        if (c.displayed) {
            EXPECT_EQ(log.displayed[0], "\r\n#42000syntax error at line 1");
        }
    }
}

TEST(TMyScript, WithoutOnErrorTheErrorIsDisplayedAndTheRunGoesOn) {
    db::TMyScript s;
    s.SQL.SetText("FAIL 1; B");
    std::vector<std::string> shown;
    s.ErrorDisplay = [&](const std::exception& e) { shown.push_back(e.what()); };
    RecordingRunner runner;
    s.Execute(runner);
    EXPECT_EQ(runner.sent, (std::vector<std::string>{"FAIL 1", "B"}));
    EXPECT_EQ(shown.size(), 1u);
}

TEST(TMyScript, SilentAbortLeavesExecuteWithoutHandlers) {
    db::TMyScript s;
    s.SQL.SetText("A; ABORT; C");
    Log log;
    attach(s, log, TErrorAction::eaContinue);
    RecordingRunner runner;
    EXPECT_THROW(s.Execute(runner), db::EAbort);
    EXPECT_EQ(runner.sent, (std::vector<std::string>{"A", "ABORT"}));
    EXPECT_EQ(log.after, (std::vector<std::string>{"A"}));
    EXPECT_TRUE(log.errors.empty());
}

TEST(TMyScript, BeforeExecuteMayRewriteOrOmit) {
    db::TMyScript s;
    s.SQL.SetText("A; B; DELIMITER //\nC//");
    s.BeforeExecute = [](db::TMyScript&, std::string& sql, bool& omit) {
        if (sql == "A") sql = "A2";
        if (sql == "B") omit = true;
        if (sql.starts_with("DELIMITER")) omit = false;  // the handler may even send a command
    };
    std::vector<std::string> after;
    s.AfterExecute = [&](db::TMyScript&, const std::string& sql) { after.push_back(sql); };
    RecordingRunner runner;
    s.Execute(runner);
    EXPECT_EQ(runner.sent, (std::vector<std::string>{"A2", "DELIMITER //", "C"}));
    EXPECT_EQ(after, runner.sent);
}

// Without a built list, Execute reads and runs one statement at a time: a lexer failure
// then comes after the statements before it were sent.
TEST(TMyScript, ExecuteWithoutListReadsAsItGoes) {
    db::TMyScript s;
    s.SQL.SetText("A; B; C\f D");
    RecordingRunner runner;
    EXPECT_THROW(s.Execute(runner), db::EParserError);
    EXPECT_EQ(runner.sent, (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(s.HasStatements());
}

TEST(TMyScript, ChangingTheTextFromAHandlerStopsTheRun) {
    for (bool built : {true, false}) {
        db::TMyScript s;
        s.SQL.SetText("A; B; C");
        if (built) (void)s.Statements();
        s.AfterExecute = [](db::TMyScript& sender, const std::string& sql) {
            if (sql == "B") sender.SQL.Clear();
        };
        RecordingRunner runner;
        s.Execute(runner);
        EXPECT_EQ(runner.sent, (std::vector<std::string>{"A", "B"})) << built;
        EXPECT_FALSE(s.HasStatements());
    }
}

TEST(TMyScript, ExecuteWalksTheListAgainFromTheStart) {
    db::TMyScript s;
    s.SQL.SetText("A; B");
    RecordingRunner runner;
    (void)s.Statements();
    s.Execute(runner);
    s.Execute(runner);
    EXPECT_EQ(runner.sent, (std::vector<std::string>{"A", "B", "A", "B"}));
    EXPECT_EQ(runner.opens, 2);
}

TEST(TMyScript, ExecuteNeedsAConnection) {
    db::TMyScript s;
    s.SQL.SetText("A");
    EXPECT_THROW(s.Execute(), db::EDatabaseError);
    RecordingRunner runner;
    s.Connection = &runner;
    s.Execute();
    EXPECT_EQ(runner.sent, (std::vector<std::string>{"A"}));
}

// The updater's calling order for a script without the macro: MacroByName fails and nothing
// of the script runs.
TEST(TMyScript, ScriptWithoutDatabaseNameNeverRuns) {
    testsupport::TempDir dir;
    db::TMyScript s;
    RecordingRunner runner;
    s.Connection = &runner;
    s.SQL.Clear();
    s.SQL.LoadFromFile(dir.write("1.0.dbql", "UPDATE t SET a = 1;\r\n").string());
    EXPECT_THROW(s.MacroByName("DatabaseName").Value = "OSF0101", db::EDatabaseError);
    EXPECT_TRUE(runner.sent.empty());
}

}  // namespace
