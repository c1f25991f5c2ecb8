// How the updater runs one update script on one company schema, and how a failure reaches the
// run log. Phase 3 (LaunchScript and the runner's OnError) and `qltool run-script` run this code.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace db {
class TMyScript;
enum class TErrorAction;
}  // namespace db

namespace app {

// The database the updater's connection opens; the company schemas are named in the scripts.
inline constexpr const char* kLibraryDatabase = "ostrellib";
// The macro a script must hold; it stands for the company's schema.
inline constexpr const char* kSchemaMacro = "DatabaseName";

// One run log line (the session's AddLog).
using LogLine = std::function<void(std::string_view)>;

// The five run log lines of a failure, oldest first: 45 asterisks, the message, "Errore su: ",
// what failed (a statement, or the file of a script that could not be launched), the asterisks.
void LogScriptFailure(const LogLine& addLog, std::string_view message, std::string_view what);

// The runner's OnError for the updater: the statement's five lines, and the run goes on.
void OnUpdateScriptError(const LogLine& addLog, const std::exception& e, const std::string& sql,
                         db::TErrorAction& action);

// The script progress bar as a launch drives it; either may be empty.
struct ScriptBar {
    std::function<void(int)> setMax;  // the number of statements listed
    std::function<void()> reset;      // position and minimum back to 0, whatever happened
};

struct ScriptOutcome;

// Empties the runner's text and loads `file`, sets the macro DatabaseName to `schema`, lists the
// statements (a lexer failure stops here, before anything is sent) and executes them on the
// runner's connection. True when the script ran to its end; false when it could not be
// launched (file unreadable, no DatabaseName, lexer failure, no connection) or a failure left
// the runner: that failure is logged as five lines naming the file.
// With `record`, the launch is written down there: the statements listed, sent and refused
// (place, line, error number, SQL state, message), the digest of the text and why it could not
// be launched. When `record->only` names statement numbers, only those are sent.
bool LaunchUpdateScript(db::TMyScript& runner, const std::string& schema, const std::string& file,
                        const ScriptBar& bar, const LogLine& addLog,
                        ScriptOutcome* record = nullptr);

}  // namespace app
