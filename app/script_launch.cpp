#include "app/script_launch.h"

#include "app/texts.h"
#include "core/exception.h"
#include "db/script.h"

namespace app {

void LogScriptFailure(const LogLine& addLog, std::string_view message, std::string_view what) {
    addLog(kErrorStars);
    addLog(message);
    addLog("Errore su: ");
    addLog(what);
    addLog(kErrorStars);
}

void OnUpdateScriptError(const LogLine& addLog, const std::exception& e, const std::string& sql,
                         db::TErrorAction& action) {
    LogScriptFailure(addLog, core::messageOf(e), sql);
    action = db::TErrorAction::eaContinue;
}

bool LaunchUpdateScript(db::TMyScript& runner, const std::string& schema, const std::string& file,
                        const ScriptBar& bar, const LogLine& addLog) {
    bool launched = true;
    try {
        runner.SQL.Clear();
        runner.SQL.LoadFromFile(file);
        runner.MacroByName(kSchemaMacro).Value = schema;
        // The whole list is read before the first statement is sent.
        const int count = static_cast<int>(runner.Statements().size());
        if (bar.setMax) bar.setMax(count);
        runner.Execute();
    } catch (const std::exception& e) {
        launched = false;
        LogScriptFailure(addLog, core::messageOf(e), file);
    }
    if (bar.reset) bar.reset();
    return launched;
}

}  // namespace app
