// A demo world for qlupdate end to end: made by make_world.sh (with a variant's environment),
// its package served by python3's http.server, its companies in the MariaDB sandbox and a
// product service with a fake "net"; run() starts the real qlupdate --console in it.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/text.h"
#include "tests/support/http_servers.h"
#include "tests/support/mariadb_sandbox.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace workflowtest {

namespace fs = std::filesystem;
using testsupport::shellQuote;

struct RunResult {
    int exitCode = -1;
    std::string output;
};

class World {
  public:
    // `variant`: environment assignments for make_world.sh ("WORLD_NO_VE=1").
    explicit World(const std::string& variant = "", const std::string& installFolder = "Ostrel")
        : m_installFolder(installFolder) {
        const testsupport::MariaDbSandbox& db = QL_REQUIRE_SANDBOX();
        m_db = &db;
        std::string out;
        const int rc = testsupport::runShell(
            "WORLD_INSTALL=" + shellQuote(installFolder) + " " + variant + " " +
                shellQuote(QL_WORKFLOW_DIR "/make_world.sh") + " " + shellQuote(m_dir.str()) + " " +
                shellQuote(testsupport::sandboxInfoFile()) + " && " +
                shellQuote(QL_WORKFLOW_DIR "/fake_product.sh") + " " + shellQuote(m_dir.str()) +
                " start-service OsReplicator",
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
        r.exitCode = testsupport::runShell(command(extra), &r.output);
        return r;
    }
    // The command line run() runs (for a test that starts qlupdate in the background).
    std::string command(const std::string& extra = "--yes") const {
        return "PATH=" + shellQuote(m_dir.str() + "tools") + ":$PATH " +
               shellQuote(testsupport::qlupdatePath()) + " --console " + extra +
               " --install-path " + shellQuote(install()) + " --server " +
               (serverUrl.empty() ? "http://127.0.0.1:" + std::to_string(m_http->port())
                                  : serverUrl) +
               " --temp-root " + shellQuote(m_dir.str() + "tmp") + " --mysql-port " +
               std::to_string(mysqlPort ? mysqlPort : m_db->port) + " </dev/null 2>&1";
    }
    // The installation folder, without its trailing separator.
    std::string install() const { return m_dir.str() + m_installFolder; }
    std::string vid(const std::string& schema) const {
        auto r = testsupport::runSql(*m_db, "SELECT VID FROM " + schema + "._versione");
        return core::Trim(r.output);
    }
    // The first column of the first row of a statement on the sandbox, trimmed.
    std::string query(const std::string& sql) const {
        return core::Trim(testsupport::runSql(*m_db, sql).output);
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

    const testsupport::MariaDbSandbox& db() const { return *m_db; }
    // The MySQL port qlupdate is given; 0 for the sandbox's.
    int mysqlPort = 0;
    // The update server qlupdate is given; "" for the world's own http.server.
    std::string serverUrl;

  private:
    std::string m_installFolder;
    testsupport::TempDir m_dir;
    const testsupport::MariaDbSandbox* m_db = nullptr;
    std::unique_ptr<testsupport::PythonHttpServer> m_http;
};

// The output's lines that are run log lines, oldest first.
inline std::vector<std::string> logLines(const std::string& output) {
    std::vector<std::string> lines;
    for (const std::string& l : core::splitLines(output))
        if (l.starts_with(">> ")) lines.push_back(l);
    return lines;
}

inline std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line,
                           std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i] == line) return i;
    return std::string::npos;
}

}  // namespace workflowtest
