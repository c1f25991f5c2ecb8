// Line and column (both from 1, columns in characters) of places in a script. The lexer already
// knows each lexeme's line and where that line starts, so only the characters between a line's
// start and the place are counted; places are asked for in increasing order, and what was
// counted for an earlier place on the same line is not counted again, so even a script written
// on one long line is walked once.
#pragma once

#include <cstddef>
#include <string_view>

namespace db {

struct TextPos {
    int line = 1;
    int column = 1;
};

// A line break is an LF, or a CR not followed by an LF: the CR of a CR LF pair stays on its
// line with the LF, and the next line starts after the LF.
inline bool endsLine(std::string_view text, std::size_t i) {
    return text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
}

// Moves `line` and `lineStart` (those of offset `from`) on to those of offset `to` >= from.
void advanceLine(std::string_view text, std::size_t from, std::size_t to, int& line,
                 std::size_t& lineStart);

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
