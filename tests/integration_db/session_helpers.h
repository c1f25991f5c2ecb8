// Shared set-up of the session tests against the MariaDB sandbox.
#pragma once

#include <string>

#include "db/mysql_protocol.h"
#include "db/mysql_session.h"
#include "tests/support/mariadb_sandbox.h"

namespace dbtest {

// The capability flags the connection component passes.
inline constexpr std::uint32_t kCallerFlags = db::CLIENT_FOUND_ROWS | db::CLIENT_MULTI_STATEMENTS;

inline bool connectAs(db::TMySqlSession& s, const testsupport::MariaDbSandbox& db,
                      const std::string& user, const std::string& password,
                      const std::string& database = {}) {
    s.connectTimeout = 15;
    return s.mysql_real_connect(db.host, user, password, database, db.port, kCallerFlags);
}

inline bool connectRoot(db::TMySqlSession& s, const testsupport::MariaDbSandbox& db,
                        const std::string& database = {}) {
    return connectAs(s, db, db.rootUser, db.rootPassword, database);
}

// All rows of the current result as text ("\N" for NULL, tab between values, one per line).
inline std::string fetchAll(db::TMySqlSession& s) {
    std::string out;
    db::TMySqlResultSet* rs = s.mysql_use_result();
    if (!rs) return out;
    while (const db::RowValues* row = s.mysql_fetch_row(rs)) {
        for (std::size_t i = 0; i < row->size(); ++i) {
            if (i) out += '\t';
            out += (*row)[i] ? std::string(*(*row)[i]) : "\\N";
        }
        out += '\n';
    }
    return out;
}

// Runs one query and gives its rows as text; an error gives "ERROR <code>".
inline std::string query(db::TMySqlSession& s, const std::string& sql) {
    if (!s.mysql_real_query(sql)) return "ERROR " + std::to_string(s.errorNumber());
    std::string rows = fetchAll(s);
    if (s.errorNumber() != 0) return "ERROR " + std::to_string(s.errorNumber());
    return rows;
}

}  // namespace dbtest
