// StatementReader: cuts a script into statements the way the MySQL client does, honouring
// DELIMITER commands and the bodies of routines and triggers. Sans-I/O: text in, views out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "db/lexer.h"
#include "db/text_position.h"

namespace db {

// The reader's progress through a DELIMITER command, in this order.
enum class TDelimiterState { dsNone, dsDelimiter, dsBlank, dsValue, dsSet };

enum class StatementKind {
    Ordinary,
    Delimiter,  // a DELIMITER command: listed, never sent
    Routine,    // CREATE PROCEDURE / FUNCTION / TRIGGER read under the default delimiter
};
const char* statementKindName(StatementKind kind);  // "ordinary", "delimiter", "routine"

struct ScriptStatement {
    std::string_view text;  // a view into the script, from its first non-blank lexeme
    std::size_t offset = 0;
    bool omit = false;
    StatementKind kind = StatementKind::Ordinary;
    TextPos start;  // of its first character
    TextPos end;    // of its last character
};

class StatementReader {
  public:
    // `delimiter` is the one in force at the start (";" by default); a DELIMITER command
    // changes it for the rest of this reader's text.
    StatementReader(std::string_view text, std::string_view delimiter);

    // The next statement, std::nullopt at the end of the text, or the lexer's failure.
    core::Result<std::optional<ScriptStatement>, LexError> next();

    const std::string& currentDelimiter() const { return m_current; }

  private:
    struct Recent {  // a significant lexeme of the statement being read
        std::string_view text;
        std::size_t offset;
        int line;
        std::size_t lineStart;
    };

    // The statement being read: its bounds and places, its kind and the DELIMITER command's
    // progress (the row of the state table it is in) and new delimiter.
    struct Draft {
        std::size_t begin = std::string_view::npos, end = 0;  // B is [begin, end) of the text
        StatementKind kind = StatementKind::Ordinary;
        TDelimiterState ds = TDelimiterState::dsNone;
        std::string newDelimiter;
        bool significantSeen = false;
        int prevKeyword = 0, curKeyword = 0;
        Recent cut{};  // where the terminator starts; the text must end before it
        // The line of the first lexeme and of the last one, and where those lines start.
        int firstLine = 1, lastLine = 1;
        std::size_t firstLineStart = 0, lastLineStart = 0, lastOffset = 0;
    };

    // The named steps of next(), once per lexeme in this order.
    void stepDelimiterCommand(Draft& d, const Lexeme& lx);
    core::Result<bool, LexError> endsStatement(Draft& d, const Lexeme& lx);
    void classify(Draft& d, const Lexeme& lx);
    void extend(Draft& d, const Lexeme& lx);
    // After the terminator: the statement, or nullopt for one that holds only blanks.
    std::optional<ScriptStatement> complete(Draft& d);

    bool read(Lexeme& lx);
    bool endsByDelimiter(const Lexeme& lx, Recent& cut) const;
    bool atLineStart(std::size_t offset) const;
    void setDelimiter(std::string delimiter);
    void remember(const Lexeme& lx);

    std::string_view m_text;
    TMyParser m_lexer;
    ColumnCounter m_columns;
    std::string m_default;
    std::string m_current;
    bool m_underDefault = true;  // the delimiter in force is the one the reader started with
    bool m_semicolon = true;     // the delimiter in force is ";"
    std::optional<Lexeme> m_putBack;
    // The last significant lexemes of the statement being read, kept only for a delimiter of
    // several characters (at most one per character): a ring, m_recentCount of them, the
    // newest at m_recentNext - 1.
    std::vector<Recent> m_recent;
    std::size_t m_recentCount = 0, m_recentNext = 0;
};

// One-shot entry: every statement of `text`, DELIMITER commands included.
core::Result<std::vector<ScriptStatement>, LexError> splitStatements(std::string_view text,
                                                                     std::string_view delimiter);

}  // namespace db
