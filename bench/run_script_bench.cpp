// Side by side against one MariaDB sandbox: a 10,000-statement script (single-row INSERTs with
// an UPDATE every 500th) run with `qltool run-script` and with `mariadb S < FILE`, alternating,
// five runs each. Prints the best and the median of each and the ratios.
//   cmake --preset bench && cmake --build --preset bench && build-bench/bench/run_script_bench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/mariadb_sandbox.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStatements = 10000;
constexpr int kRuns = 5;

// Seconds a shell command took; negative when it failed.
double timeCommand(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The script recreates its table, so every run starts from the same state; a MEMORY table keeps
// the disk's flush per commit out of the comparison. `schema` is "&DatabaseName" for the
// updater's runner (which sets the macro) and the schema's name for the client.
void writeScript(const fs::path& file, const std::string& schema) {
    std::ofstream out(file);
    const std::string t = schema + ".t";
    out << "DROP TABLE IF EXISTS " << t << ";\n"
        << "CREATE TABLE " << t
        << " (id INT PRIMARY KEY, name VARCHAR(40), n INT) ENGINE=MEMORY;\n";
    for (int i = 2; i < kStatements; ++i) {
        if (i % 500 == 0)
            out << "UPDATE " << t << " SET n = n + 1 WHERE id < " << i / 2 << ";\n";
        else
            out << "INSERT INTO " << t << " VALUES (" << i << ", 'company " << i << "', " << i % 97
                << ");\n";
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    const testsupport::TempDir work;
    const fs::path& dir = work.path();
    const testsupport::PrivateMariaDbSandbox server;  // throws when it cannot start
    const std::string host = server.get()->host, port = std::to_string(server.get()->port),
                      password = server.get()->rootPassword;
    const std::string cli =
        "mariadb --no-defaults -h" + host + " -P" + port + " -uroot --password=" + password;
    const fs::path script = dir / "script.sql", client = dir / "client.sql";
    writeScript(script, "&DatabaseName");
    writeScript(client, "qlbench");
    // run-script connects to the updater's own database, as phase 3 does.
    int rc =
        std::system((cli + " -e \"CREATE DATABASE qlbench; CREATE DATABASE ostrellib\"").c_str());
    const std::string ours = std::string(QL_QLTOOL) + " run-script --host " + host + " --port " +
                             port + " --user root --password " + password + " --schema qlbench " +
                             script.string() + " > /dev/null";
    const std::string theirs = cli + " qlbench < " + client.string() + " > /dev/null";
    std::vector<double> a, b;
    for (int i = 0; rc == 0 && i < kRuns; ++i) {
        a.push_back(timeCommand(ours));
        b.push_back(timeCommand(theirs));
        if (a.back() < 0 || b.back() < 0) rc = 1;
    }
    if (rc == 0) {
        std::printf("%d statements, %d runs each, alternating\n", kStatements, kRuns);
        const double ab = *std::min_element(a.begin(), a.end()),
                     bb = *std::min_element(b.begin(), b.end());
        std::printf("best    qltool run-script %7.3f s   mariadb < FILE %7.3f s   ratio %.2f\n", ab,
                    bb, ab / bb);
        std::printf("median  qltool run-script %7.3f s   mariadb < FILE %7.3f s   ratio %.2f\n",
                    median(a), median(b), median(a) / median(b));
    } else {
        std::fprintf(stderr, "a run failed\n");
    }
    return rc == 0 ? 0 : 1;
}
