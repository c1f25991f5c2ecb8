// The rules of the workflow that need no server: the version file's lines, the order of the
// script list, which scripts a company gets, and the download progress text.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/frm_auto_update.h"
#include "app/recording_view.h"
#include "app/updater_factory.h"
#include "app/version_id.h"
#include "tests/support/temp_dir.h"

namespace {

using app::ParseVersionFile;

TEST(ParseVersionFile, LineRules) {
    struct Case {
        std::string body;
        std::optional<std::string> vid;
    };
    const std::vector<Case> cases = {
        {"VE|2014c", "2014c"},
        {"  VE|2014c  \r\n", "2014c"},
        {"VE |2014c", std::nullopt},      // the key keeps the blank before "|"
        {"VE|", ""},                      // empty value
        {"VE", ""},                       // no "|": all key, empty value
        {"VE|a\nVE|b\n\n", "b"},          // the last one counts, blank lines ignored
        {"ve|x\r\nXX|VE", std::nullopt},  // the key is case-sensitive
        {"VE|  a|b  ", "a|b"},            // split at the first "|", value trimmed
        {"", std::nullopt},
        {"\xEF\xBB\xBFVE|u8\r", "u8"},                   // UTF-8 with its mark
        {std::string("\xFF\xFEV\0E\0|\0w\0", 10), "w"},  // UTF-16LE
        {"VE|caf\xE9", "caf\xC3\xA9"},                   // Windows-1252 without a mark
    };
    for (const Case& c : cases) EXPECT_EQ(ParseVersionFile(c.body), c.vid) << c.body;
}

// An identifier is refused unless it is one plain file name (empty is allowed).
TEST(IsSafeVersionId, OnePlainFileName) {
    struct Case {
        std::string vid;
        bool safe;
    };
    const std::vector<Case> cases = {
        {"", true},
        {"2014c", true},
        {"2014.1-b_2", true},
        {"v 2", true},
        {".hidden", true},
        {"CONSOLE", true},
        {"COM0", true},
        {std::string(64, 'v'), true},
        {std::string(65, 'v'), false},
        {"../../victim", false},
        {"..", false},
        {".", false},
        {"a..b", false},
        {"a/b", false},
        {"a\\b", false},
        {"C:x", false},
        {"x\ty", false},
        {"x\x7F", false},
        {"caf\xC3\xA9", false},
        {"a?b", false},
        {"a#b", false},
        {"a%2F", false},
        {"a*", false},
        {"a|b", false},
        {"a<b", false},
        {"\"", false},
        {"NUL", false},
        {"con.x", false},
        {"Lpt9", false},
        {"CONIN$", false},
        {std::string("a\0b", 3), false},
    };
    for (const Case& c : cases) EXPECT_EQ(app::IsSafeVersionId(c.vid), c.safe) << c.vid;
}

TEST(ScriptList, LocaleOrderNamesDifferingInCaseKeptUnlessTheSameFile) {
    struct Case {
        std::vector<std::string> added;
        std::vector<std::string> sameFiles;  // pairs "a|b" the predicate calls one file
        std::vector<std::string> list;
    };
    const std::vector<Case> cases = {
        {{"2014b.trgql", "2014b.dbql", "2014a.dbql", "2014b.trcql", "2014.dbql", "20140.dbql"},
         {},
         {"2014.dbql", "20140.dbql", "2014a.dbql", "2014b.dbql", "2014b.trcql", "2014b.trgql"}},
        // Both files exist on a case-sensitive file system; the order does not depend on the
        // order they are found in.
        {{"2014d.dbql", "2014D.DBQL"}, {}, {"2014D.DBQL", "2014d.dbql"}},
        {{"2014D.DBQL", "2014d.dbql", "2014c.dbql"},
         {},
         {"2014c.dbql", "2014D.DBQL", "2014d.dbql"}},
        {{"2014d.dbql", "2014d.dbql"}, {}, {"2014d.dbql"}},
        // One file seen under two spellings keeps the first.
        {{"2014d.dbql", "2014D.DBQL"}, {"2014d.dbql|2014D.DBQL"}, {"2014d.dbql"}},
    };
    for (const Case& c : cases) {
        const auto same = [&](const std::string& a, const std::string& b) {
            for (const std::string& p : c.sameFiles)
                if (p == a + "|" + b || p == b + "|" + a) return true;
            return false;
        };
        std::vector<std::string> list;
        for (const std::string& n : c.added) app::AddScriptName(list, n, same);
        EXPECT_EQ(list, c.list) << c.added.front();
    }
}

TEST(LoadScripts, PatternsWithoutCaseFoldersExcludedNamesByFile) {
    if (!testsupport::fileNamesAreCaseSensitive())
        GTEST_SKIP() << "names differing only in case are one file here";
    testsupport::TempDir dir;
    app::RecordingView view;
    app::TfrmAutoUpdate frm(view, {});
    frm.InstallPath = dir.str();
    dir.write("Update/2014b.trgql", "x");
    dir.write("Update/2014b.dbql", "x");
    dir.write("Update/2014a.DBQL", "x");
    dir.write("Update/2014a.txt", "x");
    dir.write("Update/readme.dbql.bak", "x");
    dir.write("Update/2014d.dbql", "x");
    dir.write("Update/2014D.DBQL", "x");
    // A second name of one file is that file.
    dir.write("Update/2014e.dbql", "x");
    std::filesystem::create_hard_link(dir.path() / "Update/2014e.dbql",
                                      dir.path() / "Update/2014E.dbql");
    std::filesystem::create_directories(dir.path() / "Update/folder.dbql");
    frm.LoadScripts();
    ASSERT_EQ(frm.ScriptList.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(frm.ScriptList.begin(), frm.ScriptList.begin() + 5),
              (std::vector<std::string>{"2014a.DBQL", "2014b.dbql", "2014b.trgql", "2014D.DBQL",
                                        "2014d.dbql"}));
    EXPECT_TRUE(frm.ScriptList[5] == "2014e.dbql" || frm.ScriptList[5] == "2014E.dbql");
    EXPECT_EQ(frm.ScriptFolder, dir.str() + "Update/");
}

// Which scripts run for a company. Without a runner every launch fails: its log line shows the
// choice, and the failure is logged in five lines and counted.
TEST(ApplyCompanyUpdate, SelectsByVersionAndKindAndCountsLaunchFailures) {
    struct Case {
        std::string vid;
        bool trig, trin;
        std::vector<std::string> launched;
    };
    const std::vector<std::string> scripts = {"10.dbql",     "2014a.dbql",   "2014b.dbql",
                                              "2014c.dbql",  "2014c.trcql",  "2014c.trgql",
                                              "2014c.TRGQL", "2014d.x.dbql", "9.dbql"};
    const std::vector<Case> cases = {
        {"2014b", false, false, {"db = 2014c.dbql", "db = 9.dbql"}},
        {"2014b", true, false, {"db = 2014c.dbql", "trigger = 2014c.trgql", "db = 9.dbql"}},
        {"2014b",
         true,
         true,
         {"db = 2014c.dbql", "trigger = 2014c.trcql", "trigger = 2014c.trgql", "db = 9.dbql"}},
        {"9", false, false, {}},
        {"",
         false,
         false,
         {"db = 10.dbql", "db = 2014a.dbql", "db = 2014b.dbql", "db = 2014c.dbql", "db = 9.dbql"}},
    };
    for (const Case& c : cases) {
        app::RecordingView view;
        app::TfrmAutoUpdate frm(view, {});
        frm.ScriptList = scripts;
        frm.ScriptFolder = "/nonexistent/";
        app::CompanyRecord row;
        row.DTDATA = " OSF0101 ";
        row.DTVID = c.vid;
        row.DTTRIG = c.trig;
        row.DTTRIN = c.trin;
        app::CompanyOutcome outcome;
        frm.ApplyCompanyUpdate(row, outcome);
        std::vector<std::string> lines = view.logLines();  // newest first
        std::vector<std::string> launched;
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            if (it->starts_with(">> Launch Script ")) launched.push_back(it->substr(17));
        EXPECT_EQ(launched, c.launched) << c.vid;
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines.back(), ">> Begin Apply Update For OSF0101");
        EXPECT_EQ(lines[1], ">> Last Update VID = 9");
        EXPECT_EQ(lines[0], ">> End Apply Update For OSF0101");
        EXPECT_EQ(outcome.failedScripts, static_cast<int>(c.launched.size())) << c.vid;
        EXPECT_EQ(outcome.state,
                  c.launched.empty() ? app::CompanyState::Updated : app::CompanyState::Failed);
        // The five lines below the last launch line name its file.
        if (!c.launched.empty()) {
            const std::string rule = ">> " + std::string(45, '*');
            EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.begin() + 7),
                      (std::vector<std::string>{rule, ">> /nonexistent/9.dbql",
                                                ">> Errore su: ", ">> no script runner", rule}));
        }
    }
}

// A connection that cannot be opened again before a company's first script: the company is
// logged and skipped, nothing of it is launched; the next company tries again.
TEST(ApplyCompanyUpdate, CompanyWhoseConnectionCannotBeOpenedIsSkipped) {
    testsupport::TempDir dir;
    dir.write("Update/2014c.dbql", "UPDATE &DatabaseName._versione SET VID = '2014c';");
    app::RecordingView view;
    app::UpdaterOptions options;
    options.mysqlPort = 1;  // nothing listens there
    auto frm = app::createUpdater(view, options);
    frm->DbSettings.Server = "127.0.0.1";
    frm->ScriptList = {"2014c.dbql"};
    frm->ScriptFolder = dir.str() + "Update/";
    for (const char* schema : {"OSF0101", "OSF0102"}) {
        app::CompanyRecord row;
        row.DTDATA = schema;
        row.DTVID = "2014b";
        app::CompanyOutcome outcome;
        view.clearLog();
        frm->ApplyCompanyUpdate(row, outcome);
        EXPECT_EQ(outcome.state, app::CompanyState::Skipped) << schema;
        EXPECT_NE(outcome.reason.find("no connection: "), std::string::npos) << outcome.reason;
        const std::vector<std::string> lines = view.logLines();
        ASSERT_EQ(lines.size(), 9u) << schema;
        EXPECT_EQ(lines[2], lines[6]);
        EXPECT_EQ(lines[3], ">> " + std::string(schema));
        EXPECT_EQ(lines[4], ">> Errore su: ");
        EXPECT_EQ(">> no connection: " + lines[5].substr(3), ">> " + outcome.reason);
        for (const std::string& l : lines) EXPECT_FALSE(l.starts_with(">> Launch Script")) << l;
    }
}

TEST(DownloadProgress, ThirtyTwoBitArithmetic) {
    app::RecordingView view;
    app::TfrmAutoUpdate frm(view, {});
    frm.IdDownHTTPWorkBegin(100000);
    frm.IdDownHTTPWork(65536);
    EXPECT_EQ(view.caption(app::Label::LabelDownload), "Scaricato 64kb di 97kb");
    // 3 GiB: the bar's maximum wraps to a negative 32-bit number, N is cut to 32 bits.
    frm.IdDownHTTPWorkBegin(3LL << 30);
    frm.IdDownHTTPWork(3LL << 30);
    EXPECT_EQ(view.caption(app::Label::LabelDownload), "Scaricato 3145728kb di -1048576kb");
}

}  // namespace
