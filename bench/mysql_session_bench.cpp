// Side by side against one MariaDB sandbox: fetching 1,000,000 rows with `qltool query` and
// with the `mariadb` client (--batch --quick), both printing to /dev/null; and 10,000
// single-row INSERTs, one round trip each, through our session and through the `mariadb`
// client reading them one statement at a time. Prints both times and the ratios.
//   cmake --preset bench && cmake --build --preset bench && build-bench/bench/mysql_session_bench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/mysql_protocol.h"
#include "db/mysql_session.h"
#include "tests/support/mariadb_sandbox.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kFetchSql = "SELECT seq, seq*2, CONCAT('company ', seq) FROM seq_1_to_1000000";
constexpr int kInserts = 10000;
constexpr int kRuns = 3;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The best of kRuns runs of a shell command, in seconds; negative when it failed.
double timeCommand(const std::string& command) {
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        auto start = Clock::now();
        if (std::system(command.c_str()) != 0) return -1;
        best = std::min(best, seconds(Clock::now() - start));
    }
    return best;
}

std::string cliBase(const testsupport::MariaDbSandbox& s) {
    return "mariadb --no-defaults -h" + s.host + " -P" + std::to_string(s.port) +
           " -uroot --password=" + s.rootPassword;
}

double insertsOurs(const testsupport::MariaDbSandbox& s) {
    db::TMySqlSession session;
    if (!session.mysql_real_connect(s.host, "root", s.rootPassword, "qlbench", s.port,
                                    db::CLIENT_FOUND_ROWS | db::CLIENT_MULTI_STATEMENTS)) {
        std::fprintf(stderr, "connect: %s\n", session.errorText().c_str());
        return -1;
    }
    if (!session.mysql_real_query("TRUNCATE TABLE t")) return -1;
    auto start = Clock::now();
    for (int i = 0; i < kInserts; ++i) {
        const std::string sql =
            "INSERT INTO t VALUES (" + std::to_string(i) + ", 'company " + std::to_string(i) + "')";
        if (!session.mysql_real_query(sql)) {
            std::fprintf(stderr, "insert: %s\n", session.errorText().c_str());
            return -1;
        }
    }
    return seconds(Clock::now() - start);
}

double insertsCli(const testsupport::MariaDbSandbox& s, const fs::path& dir) {
    const fs::path file = dir / "inserts.sql";
    {
        std::ofstream out(file);
        out << "TRUNCATE TABLE t;\n";
        for (int i = 0; i < kInserts; ++i)
            out << "INSERT INTO t VALUES (" << i << ", 'company " << i << "');\n";
    }
    return timeCommand(cliBase(s) + " --batch -D qlbench < " + file.string());
}

void report(const char* what, double ours, double theirs) {
    std::printf("%-34s qltool/session %8.3f s   mariadb client %8.3f s   ratio %.2f\n", what, ours,
                theirs, theirs > 0 ? ours / theirs : 0.0);
}

}  // namespace

int main() {
    const testsupport::TempDir work;
    const fs::path& dir = work.path();
    const testsupport::PrivateMariaDbSandbox server;  // throws when it cannot start
    const testsupport::MariaDbSandbox& s = *server.get();
    std::system((cliBase(s) + " -e \"CREATE DATABASE qlbench; CREATE TABLE qlbench.t "
                              "(id INT PRIMARY KEY, name VARCHAR(40)) ENGINE=MEMORY\"")
                    .c_str());

    const std::string ours = std::string(QL_QLTOOL) + " query --host " + s.host + " --port " +
                             std::to_string(s.port) + " --user root --password " + s.rootPassword +
                             " --database qlbench \"" + kFetchSql + "\" > /dev/null";
    const std::string theirs =
        cliBase(s) + " --batch --quick -D qlbench -e \"" + kFetchSql + "\" > /dev/null";
    std::printf("best of %d runs\n", kRuns);
    report("fetch 1,000,000 rows to /dev/null", timeCommand(ours), timeCommand(theirs));

    double oursInsert = 1e300, theirsInsert = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        oursInsert = std::min(oursInsert, insertsOurs(s));
        theirsInsert = std::min(theirsInsert, insertsCli(s, dir));
    }
    report("10,000 single-row INSERTs", oursInsert, theirsInsert);

    return 0;
}
