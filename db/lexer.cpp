#include "db/lexer.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "db/keywords.h"

namespace db {
namespace {

using namespace lexdetail;

}  // namespace

const char* lexemeKindName(LexemeKind kind) {
    switch (kind) {
        case LexemeKind::Blank:
            return "blank";
        case LexemeKind::End:
            return "end";
        case LexemeKind::Comment:
            return "comment";
        case LexemeKind::String:
            return "string";
        case LexemeKind::Identifier:
            return "identifier";
        case LexemeKind::Keyword:
            return "keyword";
        case LexemeKind::Number:
            return "number";
        case LexemeKind::Symbol:
            return "symbol";
    }
    return "?";
}

// Counts the line breaks in [from, to) and moves the line start past the last one.
void TMyParser::countLines(std::size_t from, std::size_t to) {
    const char* p = m_text.data();
    // Most strings and comments hold no line break: two vectorised searches say so quickly.
    if (!std::memchr(p + from, '\n', to - from) && !std::memchr(p + from, '\r', to - from)) return;
    advanceLine(m_text, from, to, m_line, m_lineStart);
}

// From the opening quote at `from`: up to and including the next unescaped `quote`, or to
// the end of the text. A backslash takes the character after it, whatever it is.
std::size_t TMyParser::scanQuoted(std::size_t from, char quote) {
    const char* p = m_text.data();
    const std::size_t n = m_text.size();
    std::size_t i = from + 1;
    while (i < n) {
        char c = p[i];
        if (c == quote) return i + 1;
        i += (c == '\\') ? 2 : 1;
    }
    return n;
}

std::size_t TMyParser::scanBlockComment(std::size_t from) const {
    std::size_t close = m_text.find("*/", from + 2);
    return close == std::string_view::npos ? m_text.size() : close + 2;
}

std::size_t TMyParser::scanLineComment(std::size_t from) const {
    const char* p = m_text.data();
    const std::size_t n = m_text.size();
    std::size_t i = from;
    while (i < n && p[i] != '\r' && p[i] != '\n') ++i;
    return i;
}

LexError TMyParser::unknownSymbol() const {
    LexError e;
    e.code = static_cast<unsigned char>(m_text[m_pos]);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(e.code));
    e.message = "Parser: The unknown symbol '";
    e.message += static_cast<char>(e.code);
    e.message += "'  $";
    e.message += hex;
    e.offset = m_pos;
    e.line = m_line;
    e.column = columnOf(m_text, m_lineStart, m_pos);
    return e;
}

// Comments, quoted strings and backquoted names, or a one-character symbol for "#", "-",
// "/" and the quotes when they open nothing. Counts the line breaks inside.
std::size_t TMyParser::scanPunct(std::size_t start, LexemeKind& kind) {
    const char* p = m_text.data();
    const std::size_t n = m_text.size();
    const char c = p[start];
    std::size_t end = start + 1;
    bool multiline = false;  // may the lexeme hold line breaks?
    const char c1 = start + 1 < n ? p[start + 1] : '\0';
    const bool dashComment = c == '-' && c1 == '-' &&
                             (start + 2 == n || p[start + 2] == ' ' || p[start + 2] == '\t' ||
                              p[start + 2] == '\r' || p[start + 2] == '\n');
    if (c == '#' || dashComment) {
        end = scanLineComment(start);
        kind = LexemeKind::Comment;
    } else if (c == '/' && c1 == '*') {
        end = scanBlockComment(start);
        kind = LexemeKind::Comment;
        multiline = true;
    } else if (c == '\'' || c == '"') {
        end = scanQuoted(start, c);
        kind = LexemeKind::String;
        multiline = true;
    } else if (c == '`') {
        end = scanQuoted(start, c);
        kind = LexemeKind::Identifier;
        multiline = true;
    } else {
        end = start + 1;
        kind = LexemeKind::Symbol;
    }
    if (multiline) countLines(start, end);
    return end;
}

core::Result<Lexeme, LexError> TMyParser::next() {
    Lexeme lx;
    if (!next(lx)) return core::fail(unknownSymbol());
    return lx;
}

core::Result<std::vector<Lexeme>, LexError> lexAll(std::string_view text) {
    std::vector<Lexeme> out;
    TMyParser parser(text);
    for (;;) {
        auto r = parser.next();
        if (!r) return core::fail(r.error());
        if (r->kind == LexemeKind::End) return out;
        out.push_back(*r);
    }
}

}  // namespace db
