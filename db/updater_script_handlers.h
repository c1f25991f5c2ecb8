// The updater's handlers of the script runner's events: a failed statement is logged as five
// lines and the run goes on (eaContinue); every statement run advances a progress count.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/script.h"

namespace db {

inline constexpr const char* kScriptErrorRule = "*********************************************";

// The five log lines for a failed statement, in order.
std::vector<std::string> scriptErrorLines(const std::string& message, const std::string& sql);

// Binds OnError (log the five lines through addLog, answer eaContinue) and AfterExecute (call
// afterExecute with the statement's text) on `script`.
void bindUpdaterScriptHandlers(TMyScript& script, std::function<void(const std::string&)> addLog,
                               std::function<void(const std::string&)> afterExecute);

}  // namespace db
