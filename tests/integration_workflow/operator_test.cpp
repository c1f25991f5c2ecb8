// qlupdate end to end for the operator: the plan that changes nothing, the JSON report beside the
// run log, --only-failed rerunning only what the report left unfinished, and --jobs N giving the
// same databases and the same run log as one company at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/json.h"
#include "core/text.h"
#include "tests/integration_workflow/world.h"

namespace {

namespace fs = std::filesystem;
namespace json = core::json;
using workflowtest::indexOf;
using workflowtest::RunResult;
using workflowtest::World;

bool has(const std::string& output, const std::string& text) {
    return output.find(text) != std::string::npos;
}

json::Value parsed(const std::string& text) {
    auto v = json::parse(text);
    if (!v) ADD_FAILURE() << v.error().text() << "\n" << text;
    return v ? *v : json::Value();
}

std::vector<std::string> names(const json::Value& scripts) {
    std::vector<std::string> out;
    for (const json::Value& s : scripts.items()) out.push_back(s["name"].asString());
    return out;
}

const json::Value* company(const json::Value& doc, const std::string& schema) {
    for (const json::Value& c : doc["companies"].items())
        if (c["schema"].asString() == schema) return &c;
    ADD_FAILURE() << "no company " << schema;
    return nullptr;
}

// The run logs or the reports of the installation, by name.
std::vector<fs::path> filesEndingIn(const World& w, const std::string& ext) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(w.install()))
        if (e.path().extension() == ext) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// The run log's lines from the first company's start to the last one's end, without the
// time stamps.
std::vector<std::string> companyLines(const fs::path& runLog) {
    std::vector<std::string> all = core::splitLines(testsupport::readFile(runLog));
    std::vector<std::string> out;
    bool in = false;
    for (std::string l : all) {
        const std::size_t at = l.find("Begin Apply Update For ");
        if (at != std::string::npos) in = true;
        if (!in) continue;
        // "dd/mm/yyyy hh:nn:ss >> text" and the like: keep what follows the stamp.
        const std::size_t mark = l.find(">> ");
        out.push_back(mark == std::string::npos ? l : l.substr(mark));
    }
    while (!out.empty() && !has(out.back(), "End Apply Update For ")) out.pop_back();
    return out;
}

TEST(Operator, PlanShowsTheUpdateAndDoesNoneOfIt) {
    World w;
    const RunResult r = w.run("--plan --json");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // The JSON goes to standard output alone; the run's own lines went to standard error (the
    // world merges both, so the document is the output from its opening brace on).
    const std::size_t open = r.output.find("{\n  \"format\"");
    ASSERT_NE(open, std::string::npos) << r.output;
    const json::Value plan = parsed(r.output.substr(open));
    EXPECT_EQ(plan["format"].asString(), "qlupdate-plan");
    EXPECT_EQ(plan["formatVersion"].asInt(), 1);
    EXPECT_EQ(plan["newVersion"].asString(), "2014c");
    EXPECT_EQ(plan["installation"].asString(), w.install() + "/");
    EXPECT_EQ(plan["verification"].asString(), "not verified");
    const struct {
        const char* schema;
        const char* version;
        bool serverTrigger, clientTrigger;
        const char* action;
        std::vector<std::string> scripts;
    } expected[] = {
        {"OSF0101",
         "2014a",
         true,
         true,
         "update",
         {"2014b.dbql", "2014b.trgql", "2014c.dbql", "2014c.trcql", "2014c.trgql"}},
        {"OSF0102", "2014b", false, false, "update", {"2014c.dbql"}},
        {"OSF0103", "2014c", false, false, "current", {}},
    };
    ASSERT_EQ(plan["companies"].items().size(), 3u) << r.output;
    for (const auto& e : expected) {
        const json::Value* c = company(plan, e.schema);
        if (!c) continue;
        EXPECT_EQ((*c)["version"].asString(), e.version) << e.schema;
        EXPECT_EQ((*c)["serverTrigger"].asBool(), e.serverTrigger) << e.schema;
        EXPECT_EQ((*c)["clientTrigger"].asBool(), e.clientTrigger) << e.schema;
        EXPECT_EQ((*c)["action"].asString(), e.action) << e.schema;
        EXPECT_EQ(names((*c)["scripts"]), e.scripts) << e.schema;
    }
    // Six files in the package: QLMain.txt replaces the installation's, the rest are new.
    const json::Value& files = plan["files"];
    EXPECT_EQ(files["replaced"].asInt(), 1);
    EXPECT_EQ(files["replacedBytes"].asInt(), 18);  // "new program 2014c\n"
    EXPECT_EQ(files["added"].asInt(), 6);
    ASSERT_EQ(plan["stop"].items().size(), 1u) << r.output;
    EXPECT_EQ(plan["stop"].items()[0]["name"].asString(), "OsReplicator");

    // Nothing happened: no service stopped, no file copied, no statement, no log; the package's
    // temporary folder is gone.
    EXPECT_EQ(testsupport::readFile(fs::path(w.install()) / "QLMain.txt"), "old program\n");
    EXPECT_FALSE(fs::exists(fs::path(w.install()) / "readme-2014c.txt"));
    EXPECT_EQ(w.vid("OSF0101"), "2014a");
    EXPECT_EQ(w.query("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                      "'OSF0101' AND TABLE_NAME = 'ordini'"),
              "0");
    EXPECT_EQ(w.netLog(), "");
    EXPECT_TRUE(w.logFiles().empty());
    EXPECT_TRUE(w.tmpEmpty());

    // The same plan for a person.
    const RunResult text = w.run("--plan");
    EXPECT_EQ(text.exitCode, 0) << text.output;
    EXPECT_TRUE(has(text.output,
                    "  OSF0102 (Beta Servizi) versione 2014b: 1 script\n    "
                    "2014c.dbql\n"))
        << text.output;
    EXPECT_TRUE(has(text.output, "Da fermare: OsReplicator\n")) << text.output;
    EXPECT_TRUE(w.logFiles().empty());
}

TEST(Operator, ReportThenOnlyFailedRerunsTheRefusedStatementOnly) {
    World w("WORLD_BAD_STATEMENT=1");
    const RunResult first = w.run();
    ASSERT_EQ(first.exitCode, 1) << first.output;
    const std::vector<fs::path> logs = filesEndingIn(w, ".uplog");
    const std::vector<fs::path> reports = filesEndingIn(w, ".json");
    ASSERT_EQ(logs.size(), 1u);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].stem(), logs[0].stem());
    EXPECT_TRUE(has(first.output, "Rapporto: " + reports[0].string())) << first.output;

    const json::Value report = parsed(testsupport::readFile(reports[0]));
    EXPECT_EQ(report["format"].asString(), "qlupdate-report");
    EXPECT_EQ(report["kind"].asString(), "update");
    EXPECT_EQ(report["exitStatus"].asInt(), 1);
    EXPECT_EQ(report["newVersion"].asString(), "2014c");
    EXPECT_FALSE(report["runId"].asString().empty());
    // Both companies behind ran 2014c.dbql, whose second statement names a missing table.
    for (const char* schema : {"OSF0101", "OSF0102"}) {
        const json::Value* c = company(report, schema);
        if (!c) continue;
        EXPECT_EQ((*c)["result"].asString(), "failed") << schema;
        EXPECT_EQ((*c)["versionAfter"].asString(), "2014c") << schema;
        EXPECT_EQ((*c)["failedStatements"].asInt(), 1) << schema;
        const json::Value* script = nullptr;
        for (const json::Value& s : (*c)["scripts"].items())
            if (s["name"].asString() == "2014c.dbql") script = &s;
        ASSERT_NE(script, nullptr) << schema;
        EXPECT_EQ((*script)["statements"].asInt(), 5) << schema;
        // Sent to the server, the refused one included.
        EXPECT_EQ((*script)["executed"].asInt(), 5) << schema;
        ASSERT_EQ((*script)["failed"].items().size(), 1u) << schema;
        const json::Value& f = (*script)["failed"].items()[0];
        EXPECT_EQ(f["statement"].asInt(), 2) << schema;
        EXPECT_EQ(f["errorNumber"].asInt(), 1146) << schema;
        EXPECT_EQ(f["sqlState"].asString(), "42S02") << schema;
        EXPECT_TRUE(has(f["message"].asString(), "tabella_che_non_esiste")) << schema;
    }
    EXPECT_EQ((*company(report, "OSF0103"))["result"].asString(), "updated");
    EXPECT_EQ(report["files"]["replaced"].asInt(), 1);
    const json::Value& stopped = report["services"]["stopped"];
    ASSERT_EQ(stopped.items().size(), 1u) << testsupport::readFile(reports[0]);
    EXPECT_EQ(stopped.items()[0]["name"].asString(), "OsReplicator");

    // The operator creates the missing table and reruns. Nothing but the scripts: the update
    // server is gone, the installation's files and the services are left alone.
    for (const char* schema : {"OSF0101", "OSF0102"})
        w.query(std::string("CREATE TABLE ") + schema + ".tabella_che_non_esiste (x INT)");
    fs::remove_all(w.dir().path() / "www/public/qlupdate");
    w.dir().write("Ostrel/QLMain.txt", "changed by hand\n");
    const std::string netBefore = w.netLog();
    const RunResult rerun = w.run("--only-failed");
    ASSERT_EQ(rerun.exitCode, 0) << rerun.output;
    EXPECT_EQ(testsupport::readFile(fs::path(w.install()) / "QLMain.txt"), "changed by hand\n");
    EXPECT_EQ(w.netLog(), netBefore);
    for (const char* schema : {"OSF0101", "OSF0102"}) {
        const std::string s = schema;
        EXPECT_EQ(w.query("SELECT COUNT(*) FROM " + s + ".tabella_che_non_esiste"), "1") << s;
        // The statements that had succeeded did not run twice.
        EXPECT_EQ(w.query("SELECT COUNT(*) FROM " + s + ".storico"), "1") << s;
    }
    // OSF0103 was not touched: no second row in its history.
    EXPECT_EQ(w.query("SELECT COUNT(*) FROM OSF0103.storico"), "0");

    // A report of its own beside the first one (both of the same minute), which stays.
    std::vector<fs::path> after = filesEndingIn(w, ".json");
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(filesEndingIn(w, ".uplog").size(), 2u);
    std::erase(after, reports[0]);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(parsed(testsupport::readFile(reports[0]))["runId"], report["runId"]);
    const json::Value second = parsed(testsupport::readFile(after[0]));
    EXPECT_EQ(second["kind"].asString(), "only-failed");
    EXPECT_EQ(second["rerunOf"].asString(), report["runId"].asString());
    EXPECT_EQ(second["exitStatus"].asInt(), 0);
    std::vector<std::string> rerunSchemas;
    for (const json::Value& c : second["companies"].items()) {
        rerunSchemas.push_back(c["schema"].asString());
        EXPECT_EQ(c["result"].asString(), "updated") << c["schema"].asString();
        ASSERT_EQ(c["scripts"].items().size(), 1u);
        EXPECT_EQ(c["scripts"].items()[0]["name"].asString(), "2014c.dbql");
    }
    EXPECT_EQ(rerunSchemas, (std::vector<std::string>{"OSF0101", "OSF0102"}));

    // Nothing is left to rerun.
    const RunResult again = w.run("--only-failed");
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(w.query("SELECT COUNT(*) FROM OSF0101.tabella_che_non_esiste"), "1");
}

TEST(Operator, JobsGiveTheSameDatabasesAndTheSameRunLog) {
    // One company at a time, then all three at once, in worlds made alike.
    std::vector<std::string> sequential;
    for (const char* jobs : {"1", "3"}) {
        World w("WORLD_BAD_STATEMENT=1");
        const RunResult r = w.run(std::string("--yes --jobs ") + jobs);
        ASSERT_EQ(r.exitCode, 1) << jobs << r.output;
        for (const char* schema : {"OSF0101", "OSF0102", "OSF0103"})
            EXPECT_EQ(w.vid(schema), "2014c") << jobs << schema;
        EXPECT_EQ(w.query("SELECT COUNT(*) FROM OSF0101.ordini"), "0") << jobs;
        EXPECT_EQ(w.query("SELECT nota FROM OSF0101.storico"), "2014c") << jobs;
        // The console says which company is being updated out of how many.
        EXPECT_TRUE(has(r.output, "Ditta 2 di 3: OSF0102 (Beta Servizi): in corso\n")) << r.output;
        EXPECT_TRUE(has(r.output, "Ditta 3 di 3: OSF0103: aggiornata\n")) << r.output;
        EXPECT_TRUE(has(r.output,
                        "  OSF0101 (Alfa Costruzioni): 1 istruzioni fallite, 0 script "
                        "non avviati\n"))
            << jobs << r.output;
        const std::vector<fs::path> logs = filesEndingIn(w, ".uplog");
        ASSERT_EQ(logs.size(), 1u) << jobs;
        // Paths differ between the worlds; the lines do not otherwise.
        std::vector<std::string> lines = companyLines(logs[0]);
        for (std::string& l : lines)
            for (std::size_t at = l.find(w.dir().str()); at != std::string::npos;
                 at = l.find(w.dir().str()))
                l.replace(at, w.dir().str().size(), "DIR/");
        ASSERT_NE(indexOf(lines, ">> Begin Apply Update For OSF0103"), std::string::npos)
            << jobs << testsupport::readFile(logs[0]);
        if (sequential.empty())
            sequential = lines;
        else
            EXPECT_EQ(lines, sequential) << testsupport::readFile(logs[0]);
        const json::Value report = parsed(testsupport::readFile(filesEndingIn(w, ".json")[0]));
        EXPECT_EQ(report["jobs"].asInt(), std::stoi(jobs));
    }
}

}  // namespace
