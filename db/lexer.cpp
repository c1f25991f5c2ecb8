#include "db/lexer.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "db/keywords.h"

namespace db {
namespace {

// What a character can start. The rules are tried in this order at each position:
//   blank run (TAB LF CR space) | end of text | line comment ("#", or "--" followed by a
//   space, tab, line break or the end of the text, which is how the server reads it) |
//   block comment "/*" .. "*/" | punctuation 33-47 58-64 91-94 96 123-126 (quotes open
//   strings, the backquote an identifier, the rest are one-character symbols) | identifier
//   (letters, "_", codes 128 and above, then digits too) | number | anything else fails.
// Punct marks the six characters that may open more than a one-character symbol (# - / ' "
// and the backquote); Symbol the rest of the punctuation.
enum class Cls : unsigned char { Bad, Blank, Punct, Symbol, IdStart, Digit };

constexpr std::array<Cls, 256> makeClasses() {
    std::array<Cls, 256> t{};
    for (int c = 0; c < 256; ++c) {
        Cls k = Cls::Bad;
        if (c == 9 || c == 10 || c == 13 || c == 32)
            k = Cls::Blank;
        else if ((c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 ||
                 (c >= 123 && c <= 126))
            k = (c == '#' || c == '-' || c == '/' || c == '\'' || c == '"' || c == '`')
                    ? Cls::Punct
                    : Cls::Symbol;
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 128)
            k = Cls::IdStart;
        else if (c >= '0' && c <= '9')
            k = Cls::Digit;
        t[c] = k;
    }
    return t;
}
constexpr std::array<Cls, 256> kClass = makeClasses();

constexpr std::array<bool, 256> makeIdChars() {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = kClass[c] == Cls::IdStart || kClass[c] == Cls::Digit;
    return t;
}
constexpr std::array<bool, 256> kIdChar = makeIdChars();

inline Cls classOf(char c) {
    return kClass[static_cast<unsigned char>(c)];
}
inline bool isIdChar(char c) {
    return kIdChar[static_cast<unsigned char>(c)];
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The decimal separator of the number format; POSIX's "C" locale and ours use ".".
constexpr char kDecimalSeparator = '.';

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

int columnOf(std::string_view text, std::size_t lineStart, std::size_t offset) {
    int col = 1;
    // A UTF-8 continuation byte (10xxxxxx) belongs to the character before it.
    for (std::size_t i = lineStart; i < offset && i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++col;
    return col;
}

// Counts the line breaks in [from, to): a CR, or an LF not preceded by a CR (the CR of a
// CR LF pair may lie before `from`), and moves the line start past the last one.
void TMyParser::countLines(std::size_t from, std::size_t to) {
    const char* p = m_text.data();
    // Most strings and comments hold no line break: two vectorised searches say so quickly.
    if (!std::memchr(p + from, '\n', to - from) && !std::memchr(p + from, '\r', to - from)) return;
    for (std::size_t i = from; i < to; ++i) {
        char c = p[i];
        if (c == '\r') {
            ++m_line;
            m_lineStart = (i + 1 < m_text.size() && p[i + 1] == '\n') ? i + 2 : i + 1;
        } else if (c == '\n') {
            if (i == 0 || p[i - 1] != '\r') ++m_line;
            m_lineStart = i + 1;
        }
    }
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

core::Result<Lexeme, LexError> TMyParser::next() {
    Lexeme lx;
    if (!next(lx)) return core::fail(unknownSymbol());
    return lx;
}

bool TMyParser::next(Lexeme& lx) {
    const char* p = m_text.data();
    const std::size_t n = m_text.size();
    const std::size_t start = m_pos;
    lx.offset = start;
    lx.line = m_line;
    lx.keyword = 0;
    if (start >= n) {
        lx.kind = LexemeKind::End;
        lx.text = m_text.substr(n, 0);
        return true;
    }
    std::size_t end = start;
    const char c = p[start];
    bool multiline = false;  // may the lexeme hold line breaks?
    switch (classOf(c)) {
        case Cls::Blank:
            // Line breaks are counted on the way: blanks are where nearly all of them are.
            for (; end < n; ++end) {
                const char b = p[end];
                if (b == ' ' || b == '\t') continue;
                if (b == '\n') {
                    if (end == 0 || p[end - 1] != '\r') ++m_line;
                    m_lineStart = end + 1;
                } else if (b == '\r') {
                    ++m_line;
                    m_lineStart = (end + 1 < n && p[end + 1] == '\n') ? end + 2 : end + 1;
                } else {
                    break;
                }
            }
            lx.kind = LexemeKind::Blank;
            break;
        case Cls::Symbol:
            end = start + 1;
            lx.kind = LexemeKind::Symbol;
            break;
        case Cls::Punct: {
            const char c1 = start + 1 < n ? p[start + 1] : '\0';
            const bool dashComment =
                c == '-' && c1 == '-' &&
                (start + 2 == n || p[start + 2] == ' ' || p[start + 2] == '\t' ||
                 p[start + 2] == '\r' || p[start + 2] == '\n');
            if (c == '#' || dashComment) {
                end = scanLineComment(start);
                lx.kind = LexemeKind::Comment;
            } else if (c == '/' && c1 == '*') {
                end = scanBlockComment(start);
                lx.kind = LexemeKind::Comment;
                multiline = true;
            } else if (c == '\'' || c == '"') {
                end = scanQuoted(start, c);
                lx.kind = LexemeKind::String;
                multiline = true;
            } else if (c == '`') {
                end = scanQuoted(start, c);
                lx.kind = LexemeKind::Identifier;
                multiline = true;
            } else {
                end = start + 1;
                lx.kind = LexemeKind::Symbol;
            }
            break;
        }
        case Cls::IdStart:
            ++end;
            while (end < n && isIdChar(p[end])) ++end;
            lx.keyword = keywordCode(m_text.substr(start, end - start));
            lx.kind = lx.keyword ? LexemeKind::Keyword : LexemeKind::Identifier;
            break;
        case Cls::Digit:
            while (end < n && isDigit(p[end])) ++end;
            if (end + 1 < n && p[end] == kDecimalSeparator && isDigit(p[end + 1])) {
                end += 2;
                while (end < n && isDigit(p[end])) ++end;
            }
            lx.kind = LexemeKind::Number;
            break;
        case Cls::Bad:
            return false;
    }
    if (multiline) countLines(start, end);
    lx.text = std::string_view(p + start, end - start);
    m_pos = end;
    return true;
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
