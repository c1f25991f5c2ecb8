// qlupdate --console end to end: a world made by make_world.sh, the package served by a real
// HTTP server, the companies in the MariaDB sandbox, a product service stopped and restarted.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/text.h"
#include "tests/support/http_servers.h"
#include "tests/support/mariadb_sandbox.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

namespace fs = std::filesystem;
using testsupport::shellQuote;

struct RunResult {
    int exitCode = -1;
    std::string output;
};

class World {
  public:
    // `variant`: environment assignments for make_world.sh ("WORLD_NO_VE=1").
    explicit World(const std::string& variant = "") {
        const testsupport::MariaDbSandbox& db = QL_REQUIRE_SANDBOX();
        m_db = &db;
        std::string out;
        const int rc = testsupport::runShell(
            variant + " " + shellQuote(QL_WORKFLOW_DIR "/make_world.sh") + " " +
                shellQuote(m_dir.str()) + " " + shellQuote(testsupport::sandboxInfoFile()) +
                " && " + shellQuote(QL_WORKFLOW_DIR "/fake_product.sh") + " " +
                shellQuote(m_dir.str()) + " start-service OsReplicator",
            &out);
        if (rc != 0) throw std::runtime_error("world: " + out);
        fs::create_directories(m_dir.path() / "httpwork");
        m_http = std::make_unique<testsupport::PythonHttpServer>(m_dir.path() / "www",
                                                                 m_dir.path() / "httpwork");
    }
    ~World() {
        // The service the fake "net" left running.
        testsupport::runShell("f=" + shellQuote(m_dir.str() + "run/OsReplicator.pid") +
                              "; [ -f \"$f\" ] && kill -KILL $(cat \"$f\") 2>/dev/null; true");
    }

    RunResult run(const std::string& extra = "--yes") {
        RunResult r;
        r.exitCode = testsupport::runShell(
            "PATH=" + shellQuote(m_dir.str() + "tools") + ":$PATH " +
                shellQuote(testsupport::qlupdatePath()) + " --console " + extra +
                " --install-path " + shellQuote(install()) + " --server http://127.0.0.1:" +
                std::to_string(m_http->port()) + " --temp-root " + shellQuote(m_dir.str() + "tmp") +
                " --mysql-port " + std::to_string(m_db->port) + " </dev/null 2>&1",
            &r.output);
        return r;
    }
    std::string install() const { return m_dir.str() + "Ostrel"; }
    std::string vid(const std::string& schema) const {
        auto r = testsupport::runSql(*m_db, "SELECT VID FROM " + schema + "._versione");
        return core::Trim(r.output);
    }
    std::vector<std::string> logFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(install()))
            if (e.path().extension() == ".uplog") names.push_back(e.path().filename().string());
        return names;
    }
    std::string netLog() const {
        std::error_code ec;
        return fs::exists(m_dir.path() / "net.log")
                   ? testsupport::readFile(m_dir.path() / "net.log")
                   : std::string();
    }
    bool tmpEmpty() const {
        std::error_code ec;
        return !fs::exists(m_dir.path() / "tmp", ec) || fs::is_empty(m_dir.path() / "tmp", ec);
    }
    const testsupport::TempDir& dir() const { return m_dir; }

  private:
    testsupport::TempDir m_dir;
    const testsupport::MariaDbSandbox* m_db = nullptr;
    std::unique_ptr<testsupport::PythonHttpServer> m_http;
};

// The output's lines that are run log lines, oldest first.
std::vector<std::string> logLines(const std::string& output) {
    std::vector<std::string> lines;
    for (const std::string& l : core::splitLines(output))
        if (l.starts_with(">> ")) lines.push_back(l);
    return lines;
}

std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line,
                    std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i] == line) return i;
    return std::string::npos;
}

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
        ">> Stop QL Services",
        ">> Stop Replicator...",
        ">> Copy update dirercory in " + w.dir().str(),
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
}

TEST(Workflow, CompanyWithoutSchemaIsSkippedAndTheOthersUpdated) {
    World w("WORLD_MISSING_SCHEMA=1");
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Ditta saltata: OSF0999"), std::string::npos) << r.output;
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
        std::tm tm{};
        localtime_r(&t, &tm);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M", &tm);
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
