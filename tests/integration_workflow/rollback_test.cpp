// qlupdate --console end to end with the staged install: a run killed in the middle of the copy
// is undone by the next start (which says so and starts the product again), and --rollback puts
// the replaced version back after a complete run.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/json.h"
#include "tests/integration_workflow/world.h"

namespace {

namespace fs = std::filesystem;
using workflowtest::RunResult;
using workflowtest::World;

bool has(const std::string& output, const std::string& text) {
    return output.find(text) != std::string::npos;
}

// The installation's files and their bytes, without the updater's folder, the run logs and the
// run reports.
std::map<std::string, std::string> files(const std::string& root) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string rel = it->path().lexically_relative(root).generic_string();
        if (rel == ".qlupdate") it.disable_recursion_pending();
        const fs::path ext = it->path().extension();
        if (rel == ".qlupdate" || ext == ".uplog" || ext == ".json") continue;
        out[rel] = it->is_directory() ? "folder" : testsupport::readFile(it->path());
    }
    return out;
}

// The run reports in the installation, oldest first (their names sort by time).
std::vector<core::json::Value> reports(const std::string& root) {
    std::vector<fs::path> paths;
    for (const auto& e : fs::directory_iterator(root))
        if (e.path().extension() == ".json") paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    std::vector<core::json::Value> out;
    for (const fs::path& p : paths) {
        auto v = core::json::parse(testsupport::readFile(p));
        if (!v) ADD_FAILURE() << p << ": " << v.error().text();
        out.push_back(v ? *v : core::json::Value());
    }
    return out;
}

RunResult runKilled(World& w, long afterOps, const std::string& extra) {
    RunResult r;
    r.exitCode = testsupport::runShell(
        "QLUPDATE_FAULT_AFTER_FILE_OPS=" + std::to_string(afterOps) + " " + w.command(extra),
        &r.output);
    return r;
}

TEST(StagedWorkflow, RunKilledDuringTheCopyIsUndoneByTheNextStart) {
    World w;
    const auto before = files(w.install());
    // A few operations in: the journal is written and the first new files are in place.
    const RunResult killed = runKilled(w, 9, "--yes");
    EXPECT_FALSE(has(killed.output, "Restart QL Services")) << killed.output;
    EXPECT_TRUE(fs::exists(fs::path(w.install()) / ".qlupdate/journal"));

    // A plan changes nothing: it leaves the unfinished install to the next update and says so.
    const auto killedFiles = files(w.install());
    const RunResult plan = w.run("--plan --json");
    ASSERT_EQ(plan.exitCode, 0) << plan.output;
    const std::size_t open = plan.output.find("{\n  \"format\"");
    ASSERT_NE(open, std::string::npos) << plan.output;
    const auto planDoc = core::json::parse(plan.output.substr(open));
    ASSERT_TRUE(planDoc) << plan.output;
    EXPECT_TRUE((*planDoc)["unfinishedInstall"].asBool()) << plan.output;
    EXPECT_TRUE((*planDoc)["files"]["backup"].asString().ends_with("/.qlupdate/backup-precedente/"))
        << plan.output;
    EXPECT_TRUE(fs::exists(fs::path(w.install()) / ".qlupdate/journal"));
    EXPECT_EQ(files(w.install()), killedFiles);
    EXPECT_FALSE(has(plan.output, "Aggiornamento interrotto trovato")) << plan.output;

    // The next start restores first and says so; declining "Avanti" leaves the old version.
    const RunResult next = w.run("");
    EXPECT_EQ(next.exitCode, 5) << next.output;
    EXPECT_TRUE(has(next.output, ">> Aggiornamento interrotto trovato: ripristinata la versione "))
        << next.output;
    EXPECT_EQ(files(w.install()), before);
    EXPECT_FALSE(fs::exists(fs::path(w.install()) / ".qlupdate/journal"));
    // The product the killed run stopped is started again (whether the fake service still looks
    // alive at that moment depends on the machine's load, so only the procedure is asserted).
    EXPECT_TRUE(has(next.output, ">> Restart QL Services")) << next.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014a");
    // Its report says the start restored an unfinished install.
    const std::vector<core::json::Value> declined = reports(w.install());
    ASSERT_EQ(declined.size(), 1u);
    EXPECT_EQ(declined[0]["recovery"].asString(), "restored");

    // And the run after it updates as if nothing had happened.
    const RunResult full = w.run();
    EXPECT_EQ(full.exitCode, 0) << full.output;
    EXPECT_EQ(testsupport::readFile(fs::path(w.install()) / "QLMain.txt"), "new program 2014c\n");
}

TEST(StagedWorkflow, RollbackPutsThePreviousFilesBackAndSaysScriptsStay) {
    World w;
    const auto before = files(w.install());
    const RunResult none = w.run("--rollback");
    EXPECT_EQ(none.exitCode, 7) << none.output;
    EXPECT_TRUE(has(none.output, ">> Nessuna copia di sicurezza da ripristinare")) << none.output;

    ASSERT_EQ(w.run().exitCode, 0);
    ASSERT_EQ(w.vid("OSF0101"), "2014c");
    // The report names the backup the copy kept, and no recovery.
    const std::vector<core::json::Value> updated = reports(w.install());
    ASSERT_EQ(updated.size(), 1u);
    EXPECT_TRUE(updated[0]["recovery"].isNull());
    const std::string backup = updated[0]["files"]["backup"].asString();
    EXPECT_EQ(backup, w.install() + "/.qlupdate/backup-precedente/");
    EXPECT_EQ(testsupport::readFile(fs::path(backup) / "files/QLMain.txt"), "old program\n");
    const RunResult back = w.run("--rollback");
    EXPECT_EQ(back.exitCode, 0) << back.output;
    EXPECT_TRUE(has(back.output, ">> Stop QL Services")) << back.output;
    EXPECT_TRUE(has(back.output, ">> Ripristinata la versione precedente")) << back.output;
    EXPECT_TRUE(has(back.output,
                    "gli script già eseguiti sui database delle ditte NON vengono "
                    "annullati"))
        << back.output;
    EXPECT_EQ(files(w.install()), before);
    EXPECT_EQ(w.vid("OSF0101"), "2014c");  // the database is not touched
    EXPECT_EQ(w.run("--rollback").exitCode, 7);
    // Updated again, the version to go back to is now known.
    ASSERT_EQ(w.run().exitCode, 0);
    ASSERT_EQ(w.run().exitCode, 0);
    EXPECT_TRUE(has(w.run("--rollback").output, ">> Ripristinata la versione 2014c"));
}

}  // namespace
