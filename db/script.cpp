#include "db/script.h"

#include <algorithm>
#include <cstdio>

#include "core/exception.h"
#include "core/text.h"
#include "db/errors.h"
#include "db/params.h"

namespace db {

TMyScript::TMyScript() : SQL([this] { textChanged(); }) {}

TDAStatement toTDAStatement(const ScriptStatement& st) {
    TDAStatement out;
    out.SQL = st.text;
    out.Omit = st.omit;
    out.StatementType = st.kind;
    out.StartLine = st.start.line;
    out.StartPos = st.start.column;
    out.EndLine = st.end.line;
    out.EndPos = st.end.column;
    if (!st.omit) {
        // The statement's text lexed whole before, so it lexes alone as well.
        auto params = findParams(st.text);
        if (params) out.Params = std::move(*params);
    }
    return out;
}

void TMyScript::textChanged() {
    ++m_generation;
    m_statements.reset();
    m_text = std::make_shared<const std::string>(core::TrimRightBelow(SQL.Text(), 33));
    // A lexer failure is reported by the parse pass (Statements or Execute), where the
    // runner's callers expect it; the macros named before the failing character stay.
    (void)Macros.Scan(*m_text);
}

const std::vector<TDAStatement>& TMyScript::Statements() {
    if (!HasStatements()) {
        auto list = std::make_shared<StatementList>();
        list->text = m_text;
        // Growing a big list step by step costs more than reading the script (every step
        // touches fresh memory): reserve for one statement per ";", bounded by the text size.
        const std::string& t = *m_text;
        const auto semicolons = static_cast<std::size_t>(std::count(t.begin(), t.end(), ';'));
        list->items.reserve(std::min(semicolons + 1, t.size() / 32 + 1));
        list->delimiter = Delimiter;
        StatementReader reader(*list->text, Delimiter);
        for (;;) {
            auto r = reader.next();
            if (!r) raiseParserError(r.error());
            if (!*r) break;
            list->items.push_back(toTDAStatement(**r));
        }
        m_statements = std::move(list);
    }
    return m_statements->items;
}

void TMyScript::Execute() {
    if (!Connection) raiseDatabaseError("TMyScript", "Connection not defined");
    Execute(*Connection);
}

void TMyScript::Execute(StatementRunner& runner) {
    runner.ensureOpen();
    const std::uint64_t generation = m_generation;
    if (HasStatements()) {
        // Held by the run: a handler that changes SQL drops the list, not our walk over it.
        const std::shared_ptr<const StatementList> list = m_statements;
        for (const TDAStatement& st : list->items)
            if (!runStatement(runner, st, generation)) return;
        return;
    }
    const std::shared_ptr<const std::string> text = m_text;  // outlives a change of SQL
    StatementReader reader(*text, Delimiter);
    for (;;) {
        auto r = reader.next();
        if (!r) raiseParserError(r.error());
        if (!*r) return;
        if (!runStatement(runner, toTDAStatement(**r), generation)) return;
    }
}

bool TMyScript::runStatement(StatementRunner& runner, const TDAStatement& st,
                             std::uint64_t generation) {
    auto expanded = Macros.Expand(st.SQL);
    if (!expanded) raiseParserError(expanded.error());
    std::string sql = std::move(*expanded);
    bool omit = st.Omit;
    if (BeforeExecute) BeforeExecute(*this, sql, omit);
    if (omit) return generation == m_generation;

    TErrorAction action = TErrorAction::eaContinue;
    try {
        // The command object sends no trailing blanks, line breaks or control characters.
        runner.run(core::TrimRightBelow(sql, 33));
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception& e) {
        action = TErrorAction::eaException;
        if (OnError) OnError(*this, e, core::Trim(sql), action);
        switch (action) {
            case TErrorAction::eaFail:
                throw;
            case TErrorAction::eaException:
                if (ErrorDisplay) {
                    ErrorDisplay(e);
                } else {
                    const std::string message = core::messageOf(e) + "\n";
                    std::fwrite(message.data(), 1, message.size(), stderr);
                }
                break;
            case TErrorAction::eaAbort:
            case TErrorAction::eaContinue:
                break;
        }
    }
    if (AfterExecute) AfterExecute(*this, sql);
    return action != TErrorAction::eaAbort && generation == m_generation;
}

}  // namespace db
