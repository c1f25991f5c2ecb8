// The rules of the workflow that need no server: the version file's lines, the order of the
// script list, which scripts a company gets, and the download progress text.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/frm_auto_update.h"
#include "app/recording_view.h"
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
        {"VE |2014c", std::nullopt},     // the key keeps the blank before "|"
        {"VE|", ""},                     // empty value
        {"VE", ""},                      // no "|": all key, empty value
        {"VE|a\nVE|b\n\n", "b"},         // the last one counts, blank lines ignored
        {"ve|x\r\nXX|VE", std::nullopt},  // the key is case-sensitive
        {"VE|  a|b  ", "a|b"},           // split at the first "|", value trimmed
        {"", std::nullopt},
        {"\xEF\xBB\xBFVE|u8\r", "u8"},   // UTF-8 with its mark
        {std::string("\xFF\xFEV\0E\0|\0w\0", 10), "w"},  // UTF-16LE
        {"VE|caf\xE9", "caf\xC3\xA9"},   // Windows-1252 without a mark
    };
    for (const Case& c : cases) EXPECT_EQ(ParseVersionFile(c.body), c.vid) << c.body;
}

TEST(ScriptList, SortedCaseInsensitiveDedupedDotFirst) {
    std::vector<std::string> list;
    for (const char* n : {"2014b.trgql", "2014b.dbql", "2014a.DBQL", "2014a.dbql", "2014b.trcql",
                          "2014.dbql", "20140.dbql", "2014B.DBQL"})
        app::AddScriptName(list, n);
    const std::vector<std::string> want = {"2014.dbql",  "20140.dbql",  "2014a.DBQL",
                                           "2014b.dbql", "2014b.trcql", "2014b.trgql"};
    EXPECT_EQ(list, want);
}

TEST(LoadScripts, PatternsWithoutCaseFoldersExcluded) {
    testsupport::TempDir dir;
    app::RecordingView view;
    app::TfrmAutoUpdate frm(view, {});
    frm.InstallPath = dir.str();
    dir.write("Update/2014b.trgql", "x");
    dir.write("Update/2014b.dbql", "x");
    dir.write("Update/2014a.DBQL", "x");
    dir.write("Update/2014a.txt", "x");
    dir.write("Update/readme.dbql.bak", "x");
    std::filesystem::create_directories(dir.path() / "Update/folder.dbql");
    frm.LoadScripts();
    EXPECT_EQ(frm.ScriptList, (std::vector<std::string>{"2014a.DBQL", "2014b.dbql", "2014b.trgql"}));
    EXPECT_EQ(frm.ScriptFolder, dir.str() + "Update/");
}

// Which scripts run for a company: LaunchScript fails without a runner, but its log line shows
// the choice.
TEST(ApplyCompanyUpdate, SelectsByVersionAndKind) {
    struct Case {
        std::string vid;
        bool trig, trin;
        std::vector<std::string> launched;
    };
    const std::vector<std::string> scripts = {"10.dbql",    "2014a.dbql",  "2014b.dbql", "2014c.dbql",
                                              "2014c.trcql", "2014c.trgql", "2014c.TRGQL", "2014d.x.dbql",
                                              "9.dbql"};
    const std::vector<Case> cases = {
        {"2014b", false, false, {"db = 2014c.dbql", "db = 9.dbql"}},
        {"2014b", true, false, {"db = 2014c.dbql", "trigger = 2014c.trgql", "db = 9.dbql"}},
        {"2014b", true, true,
         {"db = 2014c.dbql", "trigger = 2014c.trcql", "trigger = 2014c.trgql", "db = 9.dbql"}},
        {"9", false, false, {}},
        {"", false, false, {"db = 10.dbql", "db = 2014a.dbql", "db = 2014b.dbql", "db = 2014c.dbql", "db = 9.dbql"}},
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
        frm.ApplyCompanyUpdate(row);
        std::vector<std::string> lines = view.logLines();  // newest first
        std::vector<std::string> launched;
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            if (it->starts_with(">> Launch Script ")) launched.push_back(it->substr(17));
        EXPECT_EQ(launched, c.launched) << c.vid;
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines.back(), ">> Begin Apply Update For OSF0101");
        EXPECT_EQ(lines[1], ">> Last Update VID = 9");
        EXPECT_EQ(lines[0], ">> End Apply Update For OSF0101");
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
