#include "db/updater_script_handlers.h"

#include "core/exception.h"

namespace db {

std::vector<std::string> scriptErrorLines(const std::string& message, const std::string& sql) {
    return {kScriptErrorRule, message, "Errore su: ", sql, kScriptErrorRule};
}

void bindUpdaterScriptHandlers(TMyScript& script, std::function<void(const std::string&)> addLog,
                               std::function<void(const std::string&)> afterExecute) {
    script.OnError = [addLog = std::move(addLog)](TMyScript&, const std::exception& e,
                                                  const std::string& sql, TErrorAction& action) {
        for (const std::string& line : scriptErrorLines(core::messageOf(e), sql))
            if (addLog) addLog(line);
        action = TErrorAction::eaContinue;
    };
    script.AfterExecute = [afterExecute = std::move(afterExecute)](TMyScript&,
                                                                   const std::string& sql) {
        if (afterExecute) afterExecute(sql);
    };
}

}  // namespace db
