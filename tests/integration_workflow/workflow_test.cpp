// qlupdate --console end to end: a world made by make_world.sh, the package served by a real
// HTTP server, the companies in the MariaDB sandbox, a product service stopped and restarted.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/integration_workflow/world.h"

namespace {

namespace fs = std::filesystem;
using workflowtest::indexOf;
using workflowtest::logLines;
using workflowtest::RunResult;
using workflowtest::World;

TEST(Workflow, CompleteRunUpdatesEveryCompanyAndRestartsTheService) {
    World w;
    const RunResult r = w.run();
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(w.vid("OSF0102"), "2014c");
    EXPECT_EQ(w.vid("OSF0103"), "2014c");
    // The new files are in the installation, the temporary folder is gone.
    EXPECT_EQ(testsupport::readFile(fs::path(w.install()) / "QLMain.txt"), "new program 2014c\n");
    EXPECT_TRUE(w.tmpEmpty());
    EXPECT_EQ(w.netLog(), "stop OsReplicator\nstart OsReplicator\n");

    const std::vector<std::string> lines = logLines(r.output);
    const std::vector<std::string> expected = {
        // No PublicKey in the world's config.ini: the update is not verified, and says so.
        ">> Aggiornamento NON verificato: nessuna chiave pubblica configurata",
        ">> Stop QL Services",
        ">> Stop Replicator...",
        ">> Copy update dirercory in " + w.install() + "/",
        ">> Load Script Update",
        ">> Begin Apply Update For OSF0101",
        ">> Current VID = 2014a",
        ">> Launch Script db = 2014b.dbql",
        ">> Launch Script trigger = 2014b.trgql",
        ">> Launch Script db = 2014c.dbql",
        ">> Launch Script trigger = 2014c.trcql",
        ">> Launch Script trigger = 2014c.trgql",
        ">> Last Update VID = 2014c",
        ">> End Apply Update For OSF0101",
        ">> Begin Apply Update For OSF0102",
        ">> Current VID = 2014b",
        ">> Launch Script db = 2014c.dbql",
        ">> Last Update VID = 2014c",
        ">> End Apply Update For OSF0102",
        ">> Begin Apply Update For OSF0103",
        ">> Current VID = 2014c",
        ">> Last Update VID = 2014c",
        ">> End Apply Update For OSF0103",
        ">> Restart QL Services",
        ">> Restart Replicator...",
    };
    EXPECT_EQ(lines, expected) << r.output;

    // The run log file: named after the version and the minute, newest line first, CR LF,
    // Windows-1252.
    const std::vector<std::string> files = w.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].starts_with("2014c.2")) << files[0];
    EXPECT_EQ(files[0].size(), std::string("2014c.yyyymmddhhnn.uplog").size());
    const std::string bytes = testsupport::readFile(fs::path(w.install()) / files[0]);
    std::string want;
    for (auto it = expected.rbegin(); it != expected.rend(); ++it) want += *it + "\r\n";
    EXPECT_EQ(bytes, want);
    EXPECT_NE(r.output.find("Riepilogo ditte:\n  OSF0101 (Alfa Costruzioni): aggiornata\n"
                            "  OSF0102 (Beta Servizi): aggiornata\n"
                            "  OSF0103 (Gamma Trasporti): aggiornata\n"),
              std::string::npos)
        << r.output;
    // The trigger script under DELIMITER $$ replaced the company's server trigger.
    EXPECT_NE(r.output.find("TRI(server) TRI(client)"), std::string::npos);
}

TEST(Workflow, FailingStatementIsLoggedInFiveLinesAndTheRunGoesOn) {
    World w("WORLD_BAD_STATEMENT=1");
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 1) << r.output;
    const std::vector<std::string> lines = logLines(r.output);
    const std::size_t stars = indexOf(lines, ">> *********************************************");
    ASSERT_NE(stars, std::string::npos) << r.output;
    ASSERT_LT(stars + 4, lines.size());
    // The server's message (the session puts its SQL state on a line of its own).
    EXPECT_NE(r.output.find("Table 'osf0101.tabella_che_non_esiste' doesn't exist\n>> Errore su: "),
              std::string::npos)
        << r.output;
    EXPECT_EQ(lines[stars + 2], ">> Errore su: ");
    EXPECT_EQ(lines[stars + 3], ">> INSERT INTO OSF0101.tabella_che_non_esiste VALUES (1)");
    EXPECT_EQ(lines[stars + 4], lines[stars]);
    // The statements after the failed one still ran, for every company.
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(w.vid("OSF0102"), "2014c");
    EXPECT_NE(
        r.output.find("Riepilogo ditte:\n"
                      "  OSF0101 (Alfa Costruzioni): 1 istruzioni fallite, 0 script non avviati\n"
                      "  OSF0102 (Beta Servizi): 1 istruzioni fallite, 0 script non avviati\n"
                      "  OSF0103 (Gamma Trasporti): aggiornata\n"),
        std::string::npos)
        << r.output;
}

TEST(Workflow, CompanyWithoutSchemaIsSkippedAndTheOthersUpdated) {
    World w("WORLD_MISSING_SCHEMA=1");
    const RunResult r = w.run();
    // Not every listed company was updated: complete with failures.
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("Ditta saltata: OSF0999"), std::string::npos) << r.output;
    EXPECT_NE(
        r.output.find(
            "\n  OSF0999 (AAA Ditta senza archivio): saltata (#42000Unknown database 'osf0999')\n"),
        std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("\n  OSF0101 (Alfa Costruzioni): aggiornata\n"), std::string::npos);
    EXPECT_EQ(indexOf(logLines(r.output), ">> Begin Apply Update For OSF0999"), std::string::npos);
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(w.vid("OSF0102"), "2014c");
}

TEST(Workflow, PackageFailuresEndPhaseTwo) {
    for (const char* variant : {"WORLD_NO_PACKAGE=1", "WORLD_CORRUPT=1"}) {
        World w(variant);
        const RunResult r = w.run();
        EXPECT_EQ(r.exitCode, 3) << variant << r.output;
        EXPECT_NE(r.output.find("Problemi nel download dell'aggiornamento."), std::string::npos);
        EXPECT_TRUE(w.tmpEmpty()) << variant;
        EXPECT_EQ(w.vid("OSF0101"), "2014a") << variant;
        EXPECT_EQ(w.netLog(), "") << variant;
        EXPECT_TRUE(w.logFiles().empty()) << variant;
    }
}

TEST(Workflow, NoVersionLineAsksForTheUnnamedPackage) {
    World w("WORLD_NO_VE=1");
    const RunResult r = w.run();
    // Phase 1 succeeds with an empty identifier; "/public/qlupdate/.zip" is not there.
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_NE(r.output.find("Percorso: OK"), std::string::npos);
}

TEST(Workflow, DeclinedAvantiAndMissingInstallation) {
    World w;
    RunResult r = w.run("");  // stdin is empty: "Avanti" is not confirmed
    EXPECT_EQ(r.exitCode, 5) << r.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014a");
    fs::remove(fs::path(w.install()) / "config.ini");
    r = w.run();
    EXPECT_EQ(r.exitCode, 2) << r.output;
}

TEST(Workflow, TopFolderNotNamedAfterTheVersionFailsTheCopyButRunsTheClosingSteps) {
    World w("WORLD_TOP_FOLDER=Quillora");
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 4) << r.output;
    // The rename found no folder named after the version: the copy names a folder that is not
    // there and says so.
    const std::vector<std::string> lines = logLines(r.output);
    const auto copyError = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.starts_with(">> Errore Copia Cartella: ") && l.size() > 26;
    });
    EXPECT_NE(copyError, lines.end()) << r.output;
    EXPECT_EQ(testsupport::readFile(fs::path(w.install()) / "QLMain.txt"), "old program\n");
    EXPECT_FALSE(fs::exists(fs::path(w.install()) / "readme-2014c.txt"));
    // The scripts the installation already had still ran, and only those.
    EXPECT_NE(indexOf(lines, ">> Launch Script db = 2014b.dbql"), std::string::npos) << r.output;
    EXPECT_EQ(indexOf(lines, ">> Launch Script db = 2014c.dbql"), std::string::npos) << r.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014b");
    EXPECT_EQ(w.vid("OSF0102"), "2014b");
    // The closing steps: service restarted, run log saved, temporary folder gone, failure shown.
    EXPECT_EQ(w.netLog(), "stop OsReplicator\nstart OsReplicator\n");
    EXPECT_EQ(w.logFiles().size(), 1u);
    EXPECT_TRUE(w.tmpEmpty());
    EXPECT_NE(r.output.find("Problemi nell'installazione dell'aggiornamento!"), std::string::npos);
    EXPECT_EQ(r.output.find("Aggiornamento effetuato con successo"), std::string::npos);
}

TEST(Workflow, RunLogThatCannotBeSavedKeepsTheTemporaryFolder) {
    World w;
    // The run log is named after the minute: a folder already at each name the run can pick
    // makes creating the file fail, even for root.
    const std::time_t now = std::time(nullptr);
    for (int minute = -1; minute <= 15; ++minute) {
        const std::time_t t = now + minute * 60;
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M", std::localtime(&t));
        fs::create_directories(fs::path(w.install()) / ("2014c." + std::string(stamp) + ".uplog"));
    }
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 4) << r.output;
    EXPECT_NE(r.output.find("Problemi nell'installazione dell'aggiornamento!"), std::string::npos)
        << r.output;
    // Everything before the log went through; the temporary folder stays for a look.
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(testsupport::readFile(fs::path(w.install()) / "QLMain.txt"), "new program 2014c\n");
    EXPECT_EQ(w.netLog(), "stop OsReplicator\nstart OsReplicator\n");
    EXPECT_FALSE(w.tmpEmpty());
    for (const std::string& name : w.logFiles())
        EXPECT_TRUE(fs::is_directory(fs::path(w.install()) / name)) << name;
}

}  // namespace
