// qltool query: runs SQL through the MySQL client session and prints each result set as
// tab-separated lines (NULL as \N); an error prints "EMyError #CODE: message" and exits 1.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "connection_options.h"
#include "core/exception.h"
#include "core/text.h"
#include "db/connection_charset.h"
#include "db/errors.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "db/mysql_protocol.h"
#include "db/mysql_session.h"
#include "error_output.h"

extern const char* const qltool_query_usage =
    "query --host H --port P --user U --password P [--database D] [--macro NAME=VALUE]... SQL\n"
    "                      run SQL, print result sets tab-separated (NULL as \\N); with\n"
    "                      --macro through the query component (first result only)";

namespace {

struct Options : ConnectionOptions {
    std::string database, sql;
    std::vector<std::pair<std::string, std::string>> macros;
};

bool parse(int argc, char** argv, Options& o) {
    return parseCommandLine(argc, argv, o, o.sql, [&](std::string_view a, int& i) {
        if (a == "--database")
            return optionValue(argc, argv, i, o.database) ? OptionTaken::Yes : OptionTaken::Bad;
        if (a != "--macro") return OptionTaken::No;
        std::string m;
        if (!optionValue(argc, argv, i, m)) return OptionTaken::Bad;
        const std::size_t eq = m.find('=');
        if (eq == std::string::npos || eq == 0) return OptionTaken::Bad;
        o.macros.emplace_back(m.substr(0, eq), m.substr(eq + 1));
        return OptionTaken::Yes;
    });
}

int report(const db::TMySqlSession& s) {
    std::fflush(stdout);
    writeLine(stderr, "EMyError #" + std::to_string(s.errorNumber()) + ": " +
                          db::fromConnectionText(s.errorText()));
    return 1;
}

// Prints the rows of the current result set; false on error.
bool printRows(db::TMySqlSession& s) {
    db::TMySqlResultSet* rs = s.mysql_use_result();
    if (!rs) return s.errorNumber() == 0;
    std::string line;
    while (const db::RowValues* row = s.mysql_fetch_row(rs)) {
        line.clear();
        for (std::size_t i = 0; i < row->size(); ++i) {
            if (i) line += '\t';
            if ((*row)[i])
                db::appendFromConnectionText(line, *(*row)[i]);
            else
                line += "\\N";
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return s.errorNumber() == 0;
}

// The query component's path: macros set by name, the first result read whole and printed.
int runThroughQuery(const Options& o) {
    db::TMyConnection conn("MyLibs");
    conn.Server = o.host;
    conn.Port = o.port;
    conn.Username = o.user;
    conn.Password = o.password;
    conn.Database = o.database;
    db::TMyQuery q("qltool", &conn);
    try {
        q.SQL.SetText(o.sql);
        for (const auto& [name, value] : o.macros) q.MacroByName(name).Value = value;
        q.Open();
        std::string line;
        for (; !q.Eof(); q.Next()) {
            line.clear();
            for (int i = 0; i < q.FieldCount(); ++i) {
                if (i) line += '\t';
                line += q.Fields(i).IsNull() ? std::string("\\N") : q.Fields(i).AsString();
            }
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
    } catch (const db::EMyError& e) {
        std::fflush(stdout);
        writeLine(stderr, "EMyError #" + std::to_string(e.ErrorCode()) + ": " + e.message());
        return 1;
    } catch (const core::Exception& e) {
        std::fflush(stdout);
        writeFailure(stderr, e);
        return 1;
    }
    std::fflush(stdout);
    conn.Close();
    return 0;
}

}  // namespace

int qltool_query(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_query_usage);
        return 64;
    }
    if (!o.macros.empty()) return runThroughQuery(o);
    // The connection component logs in (its texts in the connection's character set); the rows
    // are then read straight from its session and printed as they come.
    db::TMyConnection conn("MyLibs");
    conn.Server = o.host;
    conn.Port = o.port;
    conn.Username = o.user;
    conn.Password = o.password;
    conn.Database = o.database;
    std::string sql;
    try {
        conn.Open();
        sql = db::toConnectionTextOrRaise({}, o.sql, "The statement");
    } catch (const db::EMyError& e) {
        writeLine(stderr, "EMyError #" + std::to_string(e.ErrorCode()) + ": " + e.message());
        return 1;
    } catch (const core::Exception& e) {
        writeFailure(stderr, e);
        return 1;
    }
    db::TMySqlSession& s = *conn.Session();
    if (!s.mysql_real_query(sql)) return report(s);
    for (;;) {
        if (!printRows(s)) return report(s);
        const int next = s.mysql_next_result();
        if (next == -1) break;
        if (next != 0) return report(s);
    }
    std::fflush(stdout);
    conn.Close();
    return 0;
}
