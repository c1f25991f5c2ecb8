// TMyParser: the MySQL lexer that queries, macros and scripts share. It cuts a text into
// lexemes (blanks and comments included) whose texts, joined in order, give back the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace db {

enum class LexemeKind { Blank, End, Comment, String, Identifier, Keyword, Number, Symbol };

// "blank", "end", "comment", "string", "identifier", "keyword", "number", "symbol".
const char* lexemeKindName(LexemeKind kind);

struct Lexeme {
    LexemeKind kind = LexemeKind::End;
    std::string_view text;   // a view into the lexed text
    std::size_t offset = 0;  // of its first byte in the lexed text
    int line = 1;            // line of its first character, from 1
    int keyword = 0;         // keyword code (db/keywords.h) of a Keyword lexeme, else 0

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
    // The line of the current position, from 1. CR, LF and CR LF are one line break each.
    int line() const { return m_line; }

  private:
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

// One-shot entry: every lexeme of `text` except the final End.
core::Result<std::vector<Lexeme>, LexError> lexAll(std::string_view text);

// Characters (not bytes) from `lineStart` up to `offset`, plus 1: the column of `offset`.
int columnOf(std::string_view text, std::size_t lineStart, std::size_t offset);

}  // namespace db
