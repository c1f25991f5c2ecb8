#include "app/script_launch.h"

#include <algorithm>
#include <utility>

#include "app/run_outcome.h"
#include "app/texts.h"
#include "core/exception.h"
#include "core/md5.h"
#include "db/errors.h"
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

namespace {

// While a launch is written down, the runner's events go through here first: BeforeExecute
// tells which statement of the list comes next (and holds back those a partial rerun leaves
// out), AfterExecute counts what was sent, OnError notes the refusal. The handlers the runner
// had are called as before and are put back however the launch ends.
class Recording {
  public:
    Recording(db::TMyScript& runner, ScriptOutcome& record)
        : m_runner(runner),
          m_record(record),
          m_before(runner.BeforeExecute),
          m_after(runner.AfterExecute),
          m_error(runner.OnError) {
        runner.BeforeExecute = [this](db::TMyScript& s, std::string& sql, bool& omit) {
            ++m_index;
            if (m_before) m_before(s, sql, omit);
            if (!m_record.only.empty() &&
                !std::binary_search(m_record.only.begin(), m_record.only.end(), m_index))
                omit = true;
        };
        runner.AfterExecute = [this](db::TMyScript& s, const std::string& sql) {
            ++m_record.executed;
            if (m_after) m_after(s, sql);
        };
        runner.OnError = [this](db::TMyScript& s, const std::exception& e, const std::string& sql,
                                db::TErrorAction& action) {
            noteFailure(e);
            if (m_error) m_error(s, e, sql, action);
        };
    }
    ~Recording() {
        m_runner.BeforeExecute = std::move(m_before);
        m_runner.AfterExecute = std::move(m_after);
        m_runner.OnError = std::move(m_error);
    }
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

  private:
    void noteFailure(const std::exception& e) {
        StatementFailure f;
        f.statement = m_index;
        const auto& list = m_runner.Statements();
        if (m_index >= 1 && static_cast<std::size_t>(m_index) <= list.size())
            f.line = list[static_cast<std::size_t>(m_index) - 1].StartLine;
        if (const auto* my = dynamic_cast<const db::EMyError*>(&e)) f.errorNumber = my->ErrorCode();
        f.sqlState = db::SqlStateOf(core::messageOf(e));
        f.message = db::MessageText(core::messageOf(e));
        m_record.failed.push_back(std::move(f));
    }

    db::TMyScript& m_runner;
    ScriptOutcome& m_record;
    int m_index = 0;  // the statement of the list being run, from 1
    decltype(db::TMyScript::BeforeExecute) m_before;
    decltype(db::TMyScript::AfterExecute) m_after;
    decltype(db::TMyScript::OnError) m_error;
};

}  // namespace

bool LaunchUpdateScript(db::TMyScript& runner, const std::string& schema, const std::string& file,
                        const ScriptBar& bar, const LogLine& addLog, ScriptOutcome* record) {
    bool launched = true;
    try {
        runner.SQL.Clear();
        runner.SQL.LoadFromFile(file);
        runner.MacroByName(kSchemaMacro).Value = schema;
        if (record) record->md5 = core::Md5Hex(runner.ParseText());
        // The whole list is read before the first statement is sent.
        const int count = static_cast<int>(runner.Statements().size());
        if (record) record->statements = count;
        if (bar.setMax) bar.setMax(count);
        if (record) {
            std::sort(record->only.begin(), record->only.end());
            Recording recording(runner, *record);
            runner.Execute();
        } else {
            runner.Execute();
        }
    } catch (const std::exception& e) {
        launched = false;
        LogScriptFailure(addLog, core::messageOf(e), file);
        if (record) record->failure = db::MessageText(core::messageOf(e));
    }
    if (record) record->launched = launched;
    if (bar.reset) bar.reset();
    return launched;
}

}  // namespace app
