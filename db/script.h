// TMyScript: the SQL script runner. It cuts a script into statements (DELIMITER commands and
// routine bodies honoured), expands its macros per statement and runs them one by one on a
// connection, reporting each through AfterExecute and each failure through OnError.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/macros.h"
#include "db/script_lines.h"
#include "db/script_reader.h"
#include "db/statement_runner.h"

namespace db {

// The error handler's answer for a failed statement.
enum class TErrorAction {
    eaAbort,      // drop the error, AfterExecute for it, run nothing more; Execute returns
    eaFail,       // the exception leaves Execute at once, no AfterExecute
    eaException,  // preset: the error display shows the message, then as eaContinue
    eaContinue,   // drop the error, AfterExecute for it, go on with the next statement
};

struct TDAStatement {
    // As written in the script, line breaks as CR LF, macros not expanded: a view into the
    // runner's script text, valid as long as the statement list that holds it.
    std::string_view SQL;
    bool Omit = false;
    StatementKind StatementType = StatementKind::Ordinary;
    int StartLine = 1, StartPos = 1;  // first character (lines and columns from 1)
    int EndLine = 1, EndPos = 1;      // last character
    std::vector<std::string> Params;  // parameter placeholders; never given values
};

class TMyScript {
  public:
    TMyScript();
    TMyScript(const TMyScript&) = delete;
    TMyScript& operator=(const TMyScript&) = delete;

    TScriptLines SQL;
    std::string Delimiter = ";";
    TMacros Macros;
    StatementRunner* Connection = nullptr;

    std::function<void(TMyScript& sender, std::string& sql, bool& omit)> BeforeExecute;
    // `sender` stands for the runner's internal command; handlers do not use it.
    std::function<void(TMyScript& sender, const std::string& sql)> AfterExecute;
    std::function<void(TMyScript& sender, const std::exception& e, const std::string& sql,
                       TErrorAction& action)>
        OnError;
    // The application's standard error display, used for eaException. Unset: the message
    // goes to the standard error stream.
    std::function<void(const std::exception& e)> ErrorDisplay;

    // Unknown name: EDatabaseError "Macro NAME not found" (no component name in front).
    TMacro& MacroByName(std::string_view name) const { return Macros.MacroByName(name); }

    // Built by a parse pass on first use, dropped on every change of SQL (and read again when
    // Delimiter was changed since). A lexer failure raises EParserError before anything is
    // sent.
    const std::vector<TDAStatement>& Statements();
    bool HasStatements() const { return m_statements && m_statements->delimiter == Delimiter; }

    // The text the parser reads: SQL's lines joined with CR LF, trailing codes up to 32 cut.
    const std::string& ParseText() const { return *m_text; }

    // Runs every statement on Connection (or on `runner`), opening it when closed. With the
    // statement list built it is walked from the start; otherwise statements are read and run
    // one at a time. A change of SQL from inside a handler stops the run.
    void Execute();
    void Execute(StatementRunner& runner);

  private:
    void textChanged();
    // Runs one statement; false when the run must stop.
    bool runStatement(StatementRunner& runner, const TDAStatement& st, std::uint64_t generation);

    // The statements share the text they view, so a run that holds the list keeps both
    // alive when a handler changes SQL.
    struct StatementList {
        std::shared_ptr<const std::string> text;
        std::string delimiter;  // the Delimiter the list was read with
        std::vector<TDAStatement> items;
    };

    std::shared_ptr<const std::string> m_text = std::make_shared<const std::string>();
    std::shared_ptr<const StatementList> m_statements;
    std::uint64_t m_generation = 0;
};

// The reader's statement as the runner lists it (text copied, parameters found).
TDAStatement toTDAStatement(const ScriptStatement& st);

}  // namespace db
