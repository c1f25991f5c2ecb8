// The MariaDB sandbox every database test uses: one real mariadbd per ctest run on 127.0.0.1,
// started and stopped by the ctest fixture named "mariadb".
//
// How to use it from a test executable:
//   CMake:  ql_test(test_foo SOURCES ... DEPS ql::db LABELS integration FIXTURES mariadb)
//   C++:    #include "tests/support/mariadb_sandbox.h"
//           const testsupport::MariaDbSandbox& db = QL_REQUIRE_SANDBOX();
//           db.host, db.port, "root" / db.rootPassword (mysql_native_password),
//           db.oldUser / db.oldPassword (mysql_old_password, the pre-4.1 method; the server runs
//           with --secure-auth=0), db.emptyUser (no password).
//           testsupport::runSql(db, "CREATE DATABASE x") runs SQL through the `mariadb` client
//           as root and gives its exit code and output (tab-separated, no column names).
// The server runs with --lower-case-table-names=1 (as Windows servers do) and
// --max-allowed-packet=64M. Tests share it: each test creates and drops its own databases
// under a unique name (uniqueName("prefix")).
// Outside ctest, start one by hand:
//   tests/support/mariadb_sandbox.sh start build-ci/mariadb_sandbox.info   (and `stop` after).
// PrivateMariaDbSandbox starts a separate server for a test that must kill it.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testsupport {

struct MariaDbSandbox {
    std::string host;
    std::uint16_t port = 0;
    std::string rootUser = "root";
    std::string rootPassword;
    std::string oldUser;
    std::string oldPassword;
    std::string emptyUser;
    int pid = 0;
    std::string dir;
    std::string socket;
};

// The file the fixture writes (in the build folder).
std::string sandboxInfoFile();
// Reads an info file; nullopt when it is absent or incomplete.
std::optional<MariaDbSandbox> readSandboxInfo(const std::string& path);
// The shared sandbox of this ctest run, or nullptr when the fixture did not start one.
const MariaDbSandbox* sandbox();

struct CliResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};
// Runs SQL (any number of statements) through the `mariadb` command-line client as root.
CliResult runSql(const MariaDbSandbox& db, std::string_view sql, std::string_view database = {});

// A name unique to this process and call ("prefix_<process tag>_<n>"), for databases and tables.
std::string uniqueName(std::string_view prefix);

// A server of its own, stopped (by PID) when the object goes away.
class PrivateMariaDbSandbox {
  public:
    PrivateMariaDbSandbox();
    ~PrivateMariaDbSandbox();
    PrivateMariaDbSandbox(const PrivateMariaDbSandbox&) = delete;
    PrivateMariaDbSandbox& operator=(const PrivateMariaDbSandbox&) = delete;
    // nullptr when the server could not be started.
    const MariaDbSandbox* get() const { return m_info ? &*m_info : nullptr; }

  private:
    std::string m_infoFile;
    std::optional<MariaDbSandbox> m_info;
};

}  // namespace testsupport

// Gives the shared sandbox or fails the current test (the fixture "mariadb" must have run).
#define QL_REQUIRE_SANDBOX()                                                             \
    ([]() -> const ::testsupport::MariaDbSandbox& {                                      \
        const ::testsupport::MariaDbSandbox* s = ::testsupport::sandbox();               \
        if (!s)                                                                          \
            throw std::runtime_error("MariaDB sandbox not running: no " +                \
                                     ::testsupport::sandboxInfoFile() +                  \
                                     " (run the tests through ctest, fixture mariadb)"); \
        return *s;                                                                       \
    }())
