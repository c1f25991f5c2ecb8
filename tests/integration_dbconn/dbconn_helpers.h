// Shared set-up of the connection and query tests: a connection on the sandbox as root.
#pragma once

#include <string>

#include "db/my_connection.h"
#include "tests/support/mariadb_sandbox.h"

namespace dbconn {

inline void useSandbox(db::TMyConnection& c, const testsupport::MariaDbSandbox& sb,
                       const std::string& database = {}) {
    c.Server = sb.host;
    c.Port = sb.port;
    c.Username = sb.rootUser;
    c.Password = sb.rootPassword;
    c.Database = database;
}

inline void must(const testsupport::MariaDbSandbox& sb, const std::string& sql) {
    const auto r = testsupport::runSql(sb, sql);
    if (r.exitCode != 0) throw std::runtime_error("set-up failed: " + r.output);
}

}  // namespace dbconn
