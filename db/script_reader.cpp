#include "db/script_reader.h"

#include "db/keywords.h"

namespace db {
namespace {

// The most lexemes a delimiter is recognised across ("$$" is two, "END$$" three).
constexpr std::size_t kMaxDelimiterLexemes = 32;

bool holdsLineBreak(const Lexeme& lx) {
    return lx.text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

const char* statementKindName(StatementKind kind) {
    switch (kind) {
        case StatementKind::Ordinary:
            return "ordinary";
        case StatementKind::Delimiter:
            return "delimiter";
        case StatementKind::Routine:
            return "routine";
    }
    return "?";
}

StatementReader::StatementReader(std::string_view text, std::string_view delimiter)
    : m_text(text), m_lexer(text), m_columns(text), m_default(delimiter) {
    setDelimiter(std::string(delimiter));
}

void StatementReader::setDelimiter(std::string delimiter) {
    m_current = std::move(delimiter);
    m_underDefault = m_current == m_default;
    m_semicolon = m_current == ";";
    // A delimiter of n characters is at most n lexemes; the ring is bounded all the same, so
    // that a script naming a huge "delimiter" cannot make us allocate in proportion to it.
    const std::size_t parts = m_current.size() > 1 ? m_current.size() : 0;
    m_recent.assign(parts < kMaxDelimiterLexemes ? parts : kMaxDelimiterLexemes, Recent{});
    m_recentCount = m_recentNext = 0;
}

void StatementReader::remember(const Lexeme& lx) {
    if (m_recent.empty()) return;
    m_recent[m_recentNext] = {lx.text, lx.offset, lx.line, lx.lineStart};
    m_recentNext = (m_recentNext + 1) % m_recent.size();
    if (m_recentCount < m_recent.size()) ++m_recentCount;
}

bool StatementReader::read(Lexeme& lx) {
    if (m_putBack) {
        lx = *m_putBack;
        m_putBack.reset();
        return true;
    }
    return m_lexer.next(lx);
}

bool StatementReader::atLineStart(std::size_t offset) const {
    return offset == 0 || endsLine(m_text, offset - 1);
}

// A delimiter lexeme: its text is the delimiter, or it completes the delimiter together with
// the significant lexemes just before it. The lexer gives "$$" or "//" as two one-character
// symbols; between the two halves of such a delimiter blanks and comments are allowed. `cut` is
// the delimiter's first lexeme: the statement's text must end before it.
bool StatementReader::endsByDelimiter(const Lexeme& lx, Recent& cut) const {
    const std::string_view cd = m_current;
    if (lx.text == cd) return true;
    if (m_recentCount == 0 || lx.text.size() >= cd.size() || !cd.ends_with(lx.text)) return false;
    // Only a two-character delimiter may have blanks or comments between its halves; a
    // longer one must be written in one piece, as the client reads it.
    const bool gapsAllowed = cd.size() == 2;
    std::string_view rest = cd.substr(0, cd.size() - lx.text.size());
    std::size_t next = lx.offset;
    std::size_t at = m_recentNext;
    for (std::size_t k = 0; k < m_recentCount; ++k) {
        at = (at + m_recent.size() - 1) % m_recent.size();
        const Recent& r = m_recent[at];
        if (!rest.ends_with(r.text)) return false;
        if (!gapsAllowed && r.offset + r.text.size() != next) return false;
        next = r.offset;
        rest.remove_suffix(r.text.size());
        if (rest.empty()) {
            cut = r;
            return true;
        }
    }
    return false;
}

// Reading one statement. B, the statement's text, is always one stretch of the script,
// [begin, end): leading blanks are skipped and every later lexeme up to the terminator is
// taken, so only its bounds are kept.
//
// A DELIMITER command is recognised only as the first significant lexeme of a statement
// (anywhere else "delimiter" is an ordinary word, as in "SELECT delimiter FROM t"). Its
// states, by the lexeme L that arrives:
//                 blank without      blank with line   end of text     anything else
//                 line break         break
//   dsDelimiter   dsBlank            dsSet             dsSet           dsValue, append to N
//   dsBlank       dsBlank            dsBlank           dsSet           dsValue, append to N
//   dsValue       dsSet              dsSet             dsSet           append to N
// so the new delimiter N is taken whole up to the next blank ("DELIMITER ;;" sets ";;", as
// in every mariadb-dump output), and a DELIMITER alone on its line changes nothing. dsSet
// ends the command (the blank that caused it is consumed).
//
// Outside a DELIMITER command a statement ends at the end of the text; at a delimiter lexeme
// (never inside a quoted string) unless it is a routine or trigger definition read under the
// default delimiter ";"; and, under the default delimiter, at a "/" that is the first
// character of its line when only a line break (or the end) follows it.
core::Result<std::optional<ScriptStatement>, LexError> StatementReader::next() {
    for (;;) {  // once per statement; an empty one (";;") starts over
        Draft d;
        m_recentCount = 0;
        Lexeme lx;
        for (;;) {
            if (!read(lx)) return core::fail(m_lexer.error());
            stepDelimiterCommand(d, lx);
            auto ends = endsStatement(d, lx);
            if (!ends) return core::fail(ends.error());
            if (*ends) break;
            classify(d, lx);
            extend(d, lx);
        }
        if (auto st = complete(d)) return st;
        if (lx.kind == LexemeKind::End) return std::optional<ScriptStatement>();
    }
}

// The rows of the DELIMITER command's table above.
void StatementReader::stepDelimiterCommand(Draft& d, const Lexeme& lx) {
    const bool isEnd = lx.kind == LexemeKind::End;
    const bool isBlank = lx.kind == LexemeKind::Blank;
    switch (d.ds) {
        case TDelimiterState::dsNone:
        case TDelimiterState::dsSet:
            break;
        case TDelimiterState::dsDelimiter:
            if (isEnd || (isBlank && holdsLineBreak(lx))) {
                d.ds = TDelimiterState::dsSet;
            } else if (isBlank) {
                d.ds = TDelimiterState::dsBlank;
            } else {
                d.ds = TDelimiterState::dsValue;
                d.newDelimiter += lx.text;
            }
            break;
        case TDelimiterState::dsBlank:
            if (isEnd) {
                d.ds = TDelimiterState::dsSet;
            } else if (!isBlank) {
                d.ds = TDelimiterState::dsValue;
                d.newDelimiter += lx.text;
            }
            break;
        case TDelimiterState::dsValue:
            if (isEnd || isBlank)
                d.ds = TDelimiterState::dsSet;
            else
                d.newDelimiter += lx.text;
            break;
    }
}

// Whether `lx` ends the statement: the end of the text, a complete DELIMITER command, a
// delimiter lexeme (not for a routine read under the default delimiter), or a "/" alone at the
// start of its line under the default delimiter (which reads one lexeme ahead).
core::Result<bool, LexError> StatementReader::endsStatement(Draft& d, const Lexeme& lx) {
    d.cut.offset = lx.offset;
    if (lx.kind == LexemeKind::End || d.ds == TDelimiterState::dsSet) return true;
    if (d.ds != TDelimiterState::dsNone || lx.kind == LexemeKind::String) return false;
    // A one-character delimiter (nearly always ";") is decided here, inline.
    const bool delimiter = m_current.size() == 1 ? lx.text.size() == 1 && lx.text[0] == m_current[0]
                                                 : endsByDelimiter(lx, d.cut);
    if (delimiter && !(m_underDefault && d.kind == StatementKind::Routine)) return true;
    if (!m_underDefault || !lx.is("/") || !atLineStart(lx.offset)) return false;
    Lexeme after;
    if (!read(after)) return core::fail(m_lexer.error());
    if (after.kind == LexemeKind::End ||
        (after.kind == LexemeKind::Blank && holdsLineBreak(after))) {
        d.cut.offset = lx.offset;
        return true;
    }
    m_putBack = after;
    return false;
}

// A significant lexeme may start a DELIMITER command (as the statement's first) or make the
// statement a routine or trigger definition (CREATE directly before PROCEDURE, FUNCTION or
// TRIGGER, under ";").
void StatementReader::classify(Draft& d, const Lexeme& lx) {
    if (!lx.significant()) return;
    const KeywordCodes& kw = scriptKeywords();
    d.prevKeyword = d.curKeyword;
    d.curKeyword = lx.keyword;
    if (!d.significantSeen && lx.keyword == kw.delimiter) {
        d.ds = TDelimiterState::dsDelimiter;
        d.kind = StatementKind::Delimiter;
    } else if (m_semicolon && d.prevKeyword == kw.create && d.kind == StatementKind::Ordinary &&
               (d.curKeyword == kw.procedure || d.curKeyword == kw.function ||
                d.curKeyword == kw.trigger)) {
        d.kind = StatementKind::Routine;
    }
    d.significantSeen = true;
    remember(lx);
}

// The statement's text runs from its first lexeme that is not blank to the end of `lx`.
void StatementReader::extend(Draft& d, const Lexeme& lx) {
    if (d.begin == std::string_view::npos) {
        if (lx.kind == LexemeKind::Blank) return;
        d.begin = lx.offset;
        d.firstLine = lx.line;
        d.firstLineStart = lx.lineStart;
    }
    d.end = lx.offset + lx.text.size();
    d.lastOffset = lx.offset;
    d.lastLine = lx.line;
    d.lastLineStart = lx.lineStart;
}

// The statement read, without the first half of a two-lexeme delimiter at its end; nullopt
// when it holds nothing but blanks. A complete DELIMITER command sets the new delimiter.
std::optional<ScriptStatement> StatementReader::complete(Draft& d) {
    const bool cutShort = d.begin != std::string_view::npos && d.cut.offset < d.end;
    if (cutShort) d.end = d.cut.offset;
    if (d.begin == std::string_view::npos || d.end <= d.begin) return std::nullopt;
    ScriptStatement st;
    st.text = m_text.substr(d.begin, d.end - d.begin);
    st.offset = d.begin;
    st.kind = d.kind;
    st.omit = d.ds == TDelimiterState::dsSet;
    st.start = m_columns.at(d.begin, d.firstLine, d.firstLineStart);
    if (cutShort) {
        st.end = m_columns.before(d.end, d.cut.line, d.cut.lineStart, d.begin);
    } else {
        // The last lexeme may hold line breaks (a blank, a comment, a quoted text).
        advanceLine(m_text, d.lastOffset, d.end, d.lastLine, d.lastLineStart);
        st.end = m_columns.before(d.end, d.lastLine, d.lastLineStart, d.begin);
    }
    if (st.omit && !d.newDelimiter.empty()) setDelimiter(std::move(d.newDelimiter));
    return st;
}

core::Result<std::vector<ScriptStatement>, LexError> splitStatements(std::string_view text,
                                                                     std::string_view delimiter) {
    std::vector<ScriptStatement> out;
    StatementReader reader(text, delimiter);
    for (;;) {
        auto r = reader.next();
        if (!r) return core::fail(r.error());
        if (!*r) return out;
        out.push_back(**r);
    }
}

}  // namespace db
