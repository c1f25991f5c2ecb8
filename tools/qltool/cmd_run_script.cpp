// qltool run-script: runs a SQL script file on a company schema the way phase 3 of the updater
// does, through the same code: the connection opens the database ostrellib, the macro
// DatabaseName stands for the schema, the statement list is read before anything is sent, a
// failed statement (or a script that cannot be launched) is logged as the updater's five lines
// and the run goes on. Each log line is printed as ">> text", then the number of statements
// executed and failed. Exit 0 when the script was launched (failed statements included), 1
// when it could not be.
#include <cstdio>
#include <string>
#include <string_view>

#include "app/script_launch.h"
#include "connection_options.h"
#include "db/my_connection.h"
#include "db/script.h"

extern const char* const qltool_run_script_usage =
    "run-script --host H --port P --user U --password P --schema S FILE\n"
    "                      run a SQL script on schema S as the updater does";

namespace {

struct Options : ConnectionOptions {
    std::string schema, file;
};

bool parse(int argc, char** argv, Options& o) {
    const bool ok = parseCommandLine(argc, argv, o, o.file, [&](std::string_view a, int& i) {
        if (a != "--schema") return OptionTaken::No;
        return optionValue(argc, argv, i, o.schema) ? OptionTaken::Yes : OptionTaken::Bad;
    });
    return ok && !o.schema.empty();
}

// Written whole: a lexer message can hold a NUL character.
void addLog(std::string_view text) {
    std::string line = ">> ";
    line.append(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
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
    conn.Database = app::kLibraryDatabase;
    db::TMyScript script;
    script.Connection = &conn;
    long executed = 0, failed = 0;
    script.AfterExecute = [&executed](db::TMyScript&, const std::string&) { ++executed; };
    script.OnError = [&failed](db::TMyScript&, const std::exception& e, const std::string& sql,
                               db::TErrorAction& action) {
        ++failed;
        app::OnUpdateScriptError(addLog, e, sql, action);
    };
    const bool launched = app::LaunchUpdateScript(script, o.schema, o.file, {}, addLog);
    conn.Close();
    std::printf("executed %ld, failed %ld\n", executed, failed);
    return launched ? 0 : 1;
}
