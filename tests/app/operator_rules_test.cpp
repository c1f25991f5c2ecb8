// The operator's rules that need no server: the download meter and its texts, the console's
// progress on a terminal and elsewhere, the run report read back, and what --only-failed gives a
// company again.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/console_view.h"
#include "app/rerun.h"
#include "app/run_report.h"
#include "app/transfer_meter.h"
#include "core/json.h"

namespace {

TEST(TransferMeter, TextsOfSizesAndDurations) {
    const struct {
        std::int64_t bytes;
        const char* text;
    } sizes[] = {{0, "0 B"},
                 {1023, "1023 B"},
                 {1024, "1.00 KiB"},
                 {12897485, "12.3 MiB"},
                 {1342177280, "1.25 GiB"},
                 {524288, "512 KiB"}};
    for (const auto& c : sizes) EXPECT_EQ(app::FormatBytes(c.bytes), c.text) << c.bytes;
    const struct {
        double seconds;
        const char* text;
    } durations[] = {{5, "0:05"}, {754.4, "12:34"}, {3723, "1:02:03"}, {-3, "0:00"}};
    for (const auto& c : durations) EXPECT_EQ(app::FormatDuration(c.seconds), c.text);
}

TEST(TransferMeter, RateFollowsThePresentSpeed) {
    app::TransferMeter m;
    m.begin(1000, 0);
    EXPECT_EQ(m.figures().bytesPerSecond, 0);
    EXPECT_FALSE(m.figures().secondsLeft);
    m.sample(100, 1);
    m.sample(400, 2);
    EXPECT_DOUBLE_EQ(m.figures().bytesPerSecond, 200);
    EXPECT_DOUBLE_EQ(*m.figures().secondsLeft, 3);
    // Eight seconds later the line has slowed: the rate looks back three seconds (and one
    // sample beyond), not to the start.
    m.sample(1000, 10);
    EXPECT_DOUBLE_EQ(m.figures().bytesPerSecond, 75);
    EXPECT_DOUBLE_EQ(*m.figures().secondsLeft, 0);

    app::TransferMeter unknown;
    unknown.begin(0, 0);
    unknown.sample(2048, 2);
    EXPECT_EQ(app::ProgressPlainLine(unknown.figures()), "Scaricati 2.00 KiB, 1.00 KiB/s");
    EXPECT_EQ(app::ProgressBarLine(unknown.figures(), 80), "2.00 KiB  1.00 KiB/s");
}

TEST(TransferMeter, BarAndPlainLine) {
    app::TransferFigures f{450, 1000, 100, 5.5};
    EXPECT_EQ(app::ProgressPlainLine(f), "Scaricati 450 B di 1000 B (45%), 100 B/s, mancano 0:06");
    const std::string bar = app::ProgressBarLine(f, 80);
    // 80 columns: the bar takes what the widest tail leaves (24 cells), whatever this tail is.
    EXPECT_EQ(bar, "[##########--------------]  45%  450 B di 1000 B  100 B/s  mancano 0:06");
    EXPECT_EQ(app::ProgressBarLine({450, 1000, 0, {}}, 80).substr(0, 26), bar.substr(0, 26));
    EXPECT_EQ(app::ProgressBarLine(f, 120).substr(0, 42),
              "[##################----------------------]");
    EXPECT_LT(app::ProgressBarLine(f, 60).size(), 60u);
    EXPECT_EQ(app::ProgressBarLine(f, 60).substr(0, 12), "[####------]");
}

// The console's download progress, with a clock the test moves.
struct ConsoleProgress : ::testing::Test {
    double now = 0;
    std::FILE* out = std::tmpfile();
    ~ConsoleProgress() override { std::fclose(out); }
    app::ConsoleView view(bool terminal, bool quiet = false) {
        app::ConsoleSettings s;
        s.out = out;
        s.yes = true;
        s.terminal = terminal;
        s.quiet = quiet;
        s.clock = [this] { return now; };
        return app::ConsoleView(s);
    }
    std::string printed() {
        std::fflush(out);
        std::rewind(out);
        std::string text;
        for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) text += static_cast<char>(c);
        return text;
    }
    // A download of 10,000 bytes in ten steps of a second each.
    void download(app::ConsoleView& v) {
        v.setTabVisible(app::Page::TabSheetFase02, app::Visibility::Shown);
        v.downloadStarted(10000);
        for (int i = 1; i <= 10; ++i) {
            now = i;
            v.downloadProgress(i * 1000);
        }
        v.setCaption(app::Label::LabelDownload, "Estrazione aggiornamento in corso...");
    }
};

TEST_F(ConsoleProgress, PlainLinesEveryFewSecondsAndAtTheEnd) {
    app::ConsoleView v = view(false);
    // The version file of phase 1 is not the download.
    v.downloadStarted(30);
    v.downloadProgress(30);
    download(v);
    EXPECT_EQ(printed(),
              "== Download ==\n"
              "Scaricati 1000 B di 9.77 KiB (10%), 1000 B/s, mancano 0:09\n"
              "Scaricati 5.86 KiB di 9.77 KiB (60%), 1000 B/s, mancano 0:04\n"
              "Scaricati 9.77 KiB di 9.77 KiB (100%), 1000 B/s, mancano 0:00\n"
              "Estrazione aggiornamento in corso...\n");
}

TEST_F(ConsoleProgress, BarRedrawnInPlaceOnATerminal) {
    app::ConsoleView v = view(true);
    download(v);
    const std::string text = printed();
    // One redraw per step (a second apart), the last one ending its line.
    std::size_t draws = 0;
    for (std::size_t at = text.find("\r["); at != std::string::npos; at = text.find("\r[", at + 1))
        ++draws;
    EXPECT_EQ(draws, 10u) << text;
    EXPECT_NE(text.find("\r[########################] 100%  9.77 KiB di 9.77 KiB  1000 B/s  "
                        "mancano 0:00\nEstrazione"),
              std::string::npos)
        << text;
}

TEST_F(ConsoleProgress, QuietKeepsOnlyTheSummary) {
    app::ConsoleView v = view(true, true);
    download(v);
    v.insertLogLine(">> Begin Apply Update For OSF0101");
    EXPECT_TRUE(v.askAvanti());
    app::RunOutcome o;
    o.fase03Complete = true;
    o.companies.emplace_back().schema = "OSF0101";
    o.companies.back().state = app::CompanyState::Updated;
    v.printSummary(o);
    EXPECT_EQ(printed(), "Riepilogo ditte:\n  OSF0101: aggiornata\n");
}

TEST(RunReport, WrittenThenReadBack) {
    app::RunOutcome o;
    o.scriptsApplied = true;
    app::CompanyOutcome& c = o.companies.emplace_back();
    c.schema = "OSF0101";
    c.state = app::CompanyState::Failed;
    app::ScriptOutcome& s = c.scripts.emplace_back();
    s.name = "2014c.dbql";
    s.md5 = "0123456789abcdef0123456789abcdef";
    s.launched = true;
    s.failed.push_back({4, 7, 1146, "42S02", "Table 'x' doesn't exist"});
    s.failed.push_back({2, 3, 1054, "42S22", "Unknown column"});
    o.companies.emplace_back().schema = "OSF0102";
    o.companies.back().state = app::CompanyState::Updated;
    app::ReportHeader h;
    h.runId = "r1";
    h.finished = "2026-12-09T23:30:00.000Z";
    h.newVersion = "2014c";
    const auto past = app::ReadReport(core::json::write(app::ReportJson(h, o)));
    ASSERT_TRUE(past) << past.error();
    EXPECT_EQ(past->runId, "r1");
    EXPECT_EQ(past->kind, "update");
    EXPECT_TRUE(past->scriptsApplied);
    ASSERT_EQ(past->companies.size(), 2u);
    EXPECT_FALSE(past->companies[0].finished());
    EXPECT_TRUE(past->companies[1].finished());
    ASSERT_EQ(past->companies[0].scripts.size(), 1u);
    EXPECT_EQ(past->companies[0].scripts[0].md5, s.md5);
    EXPECT_EQ(past->companies[0].scripts[0].failedStatements, (std::vector<int>{2, 4}));
}

TEST(RunReport, RefusesWhatARunDoesNotWrite) {
    const std::string head = R"({"format": "qlupdate-report", "formatVersion": 1, "runId": "r",
        "kind": "update", "finished": "t", "newVersion": "v", "scriptsApplied": true, )";
    const struct {
        const char* name;
        std::string text;
        std::string error;
    } cases[] = {
        {"not JSON", "{", "offset 1: a member name (a string) is expected"},
        {"an array", "[]", "not a JSON object"},
        {"another format", R"({"format": "x"})", "not a qlupdate run report"},
        {"newer version", R"({"format": "qlupdate-report", "formatVersion": 2})",
         "report format version 2 (this qlupdate reads 1)"},
        {"unknown kind",
         std::string(head).replace(head.find("\"update\""), 8, "\"upgrade\"") +
             R"("companies": []})",
         "bad field \"kind\""},
        {"companies not a list", head + R"("companies": {}})", "bad field \"companies\""},
        {"schema not text", head + R"("companies": [{"schema": 1, "result": "failed",
             "scripts": []}]})",
         "bad field \"schema\""},
        {"statement 0", head + R"("companies": [{"schema": "S", "result": "failed", "scripts":
             [{"name": "a.dbql", "launched": true, "failed": [{"statement": 0}]}]}]})",
         "bad field \"statement\""},
        {"name too long",
         head + R"("companies": [{"schema": "S", "result": "failed", "scripts":
             [{"name": ")" +
             std::string(256, 'a') + R"("}]}]})",
         "bad field \"name\""},
    };
    for (const auto& c : cases) {
        const auto r = app::ReadReport(c.text);
        ASSERT_FALSE(r) << c.name;
        EXPECT_EQ(r.error(), c.error) << c.name;
    }
}

// What a company the last report left unfinished gets again.
TEST(RerunChoices, OnlyWhatDidNotFinish) {
    const std::vector<std::string> list = {"2014b.dbql", "2014c.dbql", "2014c.trgql", "2014d.dbql"};
    app::PastCompany past;
    past.schema = "OSF0101";
    past.result = "failed";
    past.scripts = {
        {"2014b.dbql", "m1", true, {}},         // finished: not again
        {"2014c.dbql", "m2", true, {3, 6}},     // statements 3 and 6, after USE/SET before 6
        {"2014c.trgql", "m3", false, {}},       // not launched: whole
        {"2014d.dbql", "old", true, {1}},       // changed since: refused
        {"../../etc/x.dbql", "m5", false, {}},  // not in the folder: refused, never opened
    };
    std::vector<std::string> read;
    const auto readNow = [&](const std::string& name) {
        read.push_back(name);
        app::ScriptNow now;
        now.md5 = name == "2014c.dbql" ? "m2" : "new";
        // Statements 1 (USE), 4 (SET) and 7 (SET, after the last failure) set the context.
        now.setsContext = {true, false, false, true, false, false, true};
        return now;
    };
    const std::vector<app::ScriptChoice> c = app::RerunChoices(past, list, readNow);
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].name(), "2014c.dbql");
    EXPECT_EQ(c[0].only, (std::vector<int>{1, 3, 4, 6}));
    EXPECT_EQ(c[0].refusal, "");
    EXPECT_STREQ(c[0].logLine, "Launch Script db = ");
    EXPECT_EQ(c[1].name(), "2014c.trgql");
    EXPECT_TRUE(c[1].only.empty());
    EXPECT_EQ(c[1].refusal, "");
    EXPECT_STREQ(c[1].logLine, "Launch Script trigger = ");
    EXPECT_EQ(c[2].name(), "2014d.dbql");
    EXPECT_EQ(c[2].refusal,
              "script cambiato dopo il rapporto: i numeri delle istruzioni non valgono");
    EXPECT_EQ(c[3].refusal, "script non più presente nella cartella Update");
    // Only listed scripts that ran before are read.
    EXPECT_EQ(read, (std::vector<std::string>{"2014c.dbql", "2014d.dbql"}));
}

}  // namespace
