// qltool run-script: runs a SQL script file on a schema the way the updater does (errors
// logged as five lines, every statement still run), printing each log line as ">> text" and
// at the end the number of statements executed and failed.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "connection_options.h"
#include "core/exception.h"
#include "db/my_connection.h"
#include "db/script.h"
#include "db/updater_script_handlers.h"
#include "error_output.h"

extern const char* const qltool_run_script_usage =
    "run-script --host H --port P --user U --password P --schema S FILE\n"
    "                      run a SQL script on schema S as the updater does";

namespace {

struct Options : ConnectionOptions {
    std::string schema, file;
};

bool parse(int argc, char** argv, Options& o) {
    return parseCommandLine(argc, argv, o, o.file, [&](std::string_view a, int& i) {
        if (a != "--schema") return OptionTaken::No;
        return optionValue(argc, argv, i, o.schema) ? OptionTaken::Yes : OptionTaken::Bad;
    });
}

void addLog(const std::string& text) {
    std::printf(">> %s\n", text.c_str());
}

}  // namespace

int qltool_run_script(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_run_script_usage);
        return 64;
    }
    db::TMyConnection conn("MyLibs");
    conn.Server = o.host;
    conn.Port = o.port;
    conn.Username = o.user;
    conn.Password = o.password;
    conn.Database = o.schema;
    db::TMyScript script;
    script.Connection = &conn;
    long executed = 0, failed = 0;
    db::bindUpdaterScriptHandlers(script, addLog, [&](const std::string&) { ++executed; });
    script.OnError = [&failed, log = script.OnError](db::TMyScript& sender, const std::exception& e,
                                                     const std::string& sql,
                                                     db::TErrorAction& action) {
        ++failed;
        log(sender, e, sql, action);
    };
    int rc = 0;
    try {
        script.SQL.LoadFromFile(o.file);
        script.Execute();
    } catch (const core::Exception& e) {
        std::fflush(stdout);
        writeFailure(stderr, e);
        rc = 1;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.what());
        rc = 1;
    }
    conn.Close();
    std::printf("executed %ld, failed %ld\n", executed, failed);
    return rc;
}
