// Places in a script: a line and a column, both from 1, columns in characters. The one
// definition of a place that the lexer, the statement reader, the error messages, the tests and
// the fuzzers share:
//  - a line ends at an LF, or at a CR not followed by an LF (CR, LF and CR LF are one line
//    break each; the CR of a CR LF stays on its line with the LF);
//  - a character starts at every byte that is not a UTF-8 continuation byte (10xxxxxx).
// placeOf walks every character from the start: it is the definition itself, and the faster
// code (the lexer's line counting, ColumnCounter) is checked against it.
#pragma once

#include <cstddef>
#include <string_view>

namespace db {

struct TextPos {
    int line = 1;
    int column = 1;
    bool operator==(const TextPos&) const = default;
};

inline bool endsLine(std::string_view text, std::size_t i) {
    return text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
}

inline bool startsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// Characters from `lineStart` up to `offset`, plus 1: the column of `offset` on the line that
// starts at `lineStart`.
int columnOf(std::string_view text, std::size_t lineStart, std::size_t offset);

// The place of `offset` (at most the text's size), walking from the start.
TextPos placeOf(std::string_view text, std::size_t offset);

// placeOf for offsets asked for in increasing order, walking the text once.
class PlaceWalk {
  public:
    explicit PlaceWalk(std::string_view text) : m_text(text) {}
    TextPos at(std::size_t offset);

  private:
    std::string_view m_text;
    std::size_t m_offset = 0;
    TextPos m_pos;
};

// Moves `line` and `lineStart` (those of offset `from`) on to those of offset `to` >= from.
void advanceLine(std::string_view text, std::size_t from, std::size_t to, int& line,
                 std::size_t& lineStart);

// The statement reader's fast path: the lexer already knows each lexeme's line and where that
// line starts, so only the characters between a line's start and the place are counted; places
// are asked for in increasing order, and what was counted for an earlier place on the same line
// is not counted again, so even a script written on one long line is walked once.
class ColumnCounter {
  public:
    explicit ColumnCounter(std::string_view text) : m_text(text) {}
    // The place of `offset`, which lies on line `line` starting at offset `lineStart`.
    TextPos at(std::size_t offset, int line, std::size_t lineStart);
    // The place of the character just before `offset` (> 0), given `offset`'s line and its
    // start: on the same line, or the line break that ends the line before. The character is
    // taken to start at its first byte that is not a UTF-8 continuation byte, but not before
    // `floor` (where the stretch of text it ends begins).
    TextPos before(std::size_t offset, int line, std::size_t lineStart, std::size_t floor = 0);

  private:
    std::string_view m_text;
    std::size_t m_lineStart = std::string_view::npos;  // of the last place given
    std::size_t m_offset = 0;
    int m_column = 1;
};

}  // namespace db
