// TMyParser: the MySQL lexer that queries, macros and scripts share. It cuts a text into
// lexemes (blanks and comments included) whose texts, joined in order, give back the text.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "db/keywords.h"
#include "db/text_position.h"

namespace db {

namespace lexdetail {
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
inline constexpr std::array<Cls, 256> kClass = makeClasses();

constexpr std::array<bool, 256> makeIdChars() {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = kClass[c] == Cls::IdStart || kClass[c] == Cls::Digit;
    return t;
}
inline constexpr std::array<bool, 256> kIdChar = makeIdChars();

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
inline constexpr char kDecimalSeparator = '.';

}  // namespace lexdetail

enum class LexemeKind { Blank, End, Comment, String, Identifier, Keyword, Number, Symbol };

// "blank", "end", "comment", "string", "identifier", "keyword", "number", "symbol".
const char* lexemeKindName(LexemeKind kind);

struct Lexeme {
    LexemeKind kind = LexemeKind::End;
    std::string_view text;      // a view into the lexed text
    std::size_t offset = 0;     // of its first byte in the lexed text
    int line = 1;               // line of its first character, from 1
    std::size_t lineStart = 0;  // offset of the first character of that line
    int keyword = 0;            // keyword code (db/keywords.h) of a Keyword lexeme, else 0

    bool significant() const { return kind != LexemeKind::Blank && kind != LexemeKind::Comment; }
    bool is(std::string_view s) const { return text == s; }
};

struct LexError {
    std::string message;  // "Parser: The unknown symbol '<c>'  $XXXX"
    std::size_t offset = 0;
    int line = 1;
    int column = 1;  // in characters, from 1
    unsigned char code = 0;
};

class TMyParser {
  public:
    explicit TMyParser(std::string_view text) : m_text(text) {}

    // The lexeme at the current position; at the end of the text an End lexeme, again and
    // again. After a failure the position stays on the offending character.
    core::Result<Lexeme, LexError> next();
    // The same without the result wrapper, for the hot loops of the statement reader and
    // the macros: false on failure, then error() tells why.
    bool next(Lexeme& out);
    LexError error() const { return unknownSymbol(); }

    std::string_view text() const { return m_text; }
    std::size_t position() const { return m_pos; }
    // The line of the current position, from 1 (db/text_position.h says where lines end).
    int line() const { return m_line; }

  private:
    std::size_t scanPunct(std::size_t start, LexemeKind& kind);
    std::size_t scanQuoted(std::size_t from, char quote);
    std::size_t scanBlockComment(std::size_t from) const;
    std::size_t scanLineComment(std::size_t from) const;
    void countLines(std::size_t from, std::size_t to);
    LexError unknownSymbol() const;

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
    std::size_t m_lineStart = 0;  // offset of the first character of the current line
};

// Defined here so that the loops of the statement reader and the macros inline it: most
// lexemes are a few bytes long, and a call per lexeme costs as much as lexing it.
inline bool TMyParser::next(Lexeme& lx) {
    using namespace lexdetail;
    const char* p = m_text.data();
    const std::size_t n = m_text.size();
    const std::size_t start = m_pos;
    lx.offset = start;
    lx.line = m_line;
    lx.lineStart = m_lineStart;
    lx.keyword = 0;
    if (start >= n) {
        lx.kind = LexemeKind::End;
        lx.text = m_text.substr(n, 0);
        return true;
    }
    std::size_t end = start;
    const char c = p[start];
    switch (classOf(c)) {
        case Cls::Blank:
            // Line breaks are counted on the way: blanks are where nearly all of them are.
            for (; end < n; ++end) {
                const char b = p[end];
                if (b == ' ' || b == '\t') continue;
                if (b != '\n' && b != '\r') break;
                if (endsLine(m_text, end)) {
                    ++m_line;
                    m_lineStart = end + 1;
                }
            }
            lx.kind = LexemeKind::Blank;
            break;
        case Cls::Symbol:
            end = start + 1;
            lx.kind = LexemeKind::Symbol;
            break;
        case Cls::Punct:
            end = scanPunct(start, lx.kind);
            break;
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
    lx.text = std::string_view(p + start, end - start);
    m_pos = end;
    return true;
}

// One-shot entry: every lexeme of `text` except the final End.
core::Result<std::vector<Lexeme>, LexError> lexAll(std::string_view text);

}  // namespace db
