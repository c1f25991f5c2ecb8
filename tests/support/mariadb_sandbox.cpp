#include "tests/support/mariadb_sandbox.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace testsupport {

namespace {

std::string scriptPath() {
    return sourceDir() + "/tests/support/mariadb_sandbox.sh";
}

// Single quotes for the shell; the values here are our own (paths, fixed passwords).
std::string shellQuote(std::string_view s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

CliResult runShell(const std::string& command) {
    TempDir tmp;
    std::string outFile = (tmp.path() / "out.txt").string();
    int rc = std::system((command + " >" + shellQuote(outFile) + " 2>&1").c_str());
    CliResult r;
    // std::system gives the wait status; the shell's exit code is its high byte.
    r.exitCode = rc == -1 ? -1 : (rc >> 8) & 0xFF;
    std::error_code ec;
    if (std::filesystem::exists(outFile, ec)) r.output = readFile(outFile);
    return r;
}

}  // namespace

std::string sandboxInfoFile() {
    return binaryDir() + "/mariadb_sandbox.info";
}

std::optional<MariaDbSandbox> readSandboxInfo(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::map<std::string, std::string> kv;
    for (std::string line; std::getline(in, line);) {
        auto eq = line.find('=');
        if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    if (kv["host"].empty() || kv["port"].empty() || kv["pid"].empty()) return std::nullopt;
    MariaDbSandbox s;
    s.host = kv["host"];
    s.port = static_cast<std::uint16_t>(std::stoi(kv["port"]));
    s.rootPassword = kv["root_password"];
    s.oldUser = kv["old_user"];
    s.oldPassword = kv["old_password"];
    s.emptyUser = kv["empty_user"];
    s.pid = std::stoi(kv["pid"]);
    s.dir = kv["dir"];
    s.socket = kv["socket"];
    return s;
}

const MariaDbSandbox* sandbox() {
    static const std::optional<MariaDbSandbox> info = readSandboxInfo(sandboxInfoFile());
    return info ? &*info : nullptr;
}

CliResult runSql(const MariaDbSandbox& db, std::string_view sql, std::string_view database) {
    TempDir tmp;
    auto sqlFile = tmp.write("in.sql", sql);
    std::string cmd = "mariadb --no-defaults --batch --skip-column-names -h" + db.host + " -P" +
                      std::to_string(db.port) + " -u" + db.rootUser +
                      " --password=" + shellQuote(db.rootPassword);
    if (!database.empty()) cmd += " -D " + shellQuote(database);
    return runShell(cmd + " <" + shellQuote(sqlFile.string()));
}

std::string uniqueName(std::string_view prefix) {
    static std::atomic<int> counter{0};
    // Tests of several executables run at once against one server: a per-process tag.
    static const unsigned tag = std::random_device{}() % 1000000;
    return std::string(prefix) + "_" + std::to_string(tag) + "_" + std::to_string(++counter);
}

PrivateMariaDbSandbox::PrivateMariaDbSandbox() {
    m_infoFile = binaryDir() + "/" + uniqueName("mariadb_private") + ".info";
    CliResult r = runShell(shellQuote(scriptPath()) + " start " + shellQuote(m_infoFile));
    m_info = readSandboxInfo(m_infoFile);
    if (r.exitCode != 0 || !m_info)
        throw std::runtime_error("cannot start a private MariaDB sandbox:\n" + r.output);
}

PrivateMariaDbSandbox::~PrivateMariaDbSandbox() {
    (void)runShell(shellQuote(scriptPath()) + " stop " + shellQuote(m_infoFile));
}

}  // namespace testsupport
