#include "db/text_position.h"

namespace db {

int columnOf(std::string_view text, std::size_t lineStart, std::size_t offset) {
    if (offset > text.size()) offset = text.size();
    std::size_t col = 1;
    // A plain counting loop, which the compiler turns into vector code.
    for (std::size_t i = lineStart; i < offset; ++i) col += startsCharacter(text[i]);
    return static_cast<int>(col);
}

TextPos PlaceWalk::at(std::size_t offset) {
    for (; m_offset < offset && m_offset < m_text.size(); ++m_offset) {
        if (endsLine(m_text, m_offset)) {
            ++m_pos.line;
            m_pos.column = 1;
        } else if (startsCharacter(m_text[m_offset])) {
            ++m_pos.column;
        }
    }
    return m_pos;
}

TextPos placeOf(std::string_view text, std::size_t offset) {
    return PlaceWalk(text).at(offset);
}

void advanceLine(std::string_view text, std::size_t from, std::size_t to, int& line,
                 std::size_t& lineStart) {
    if (to > text.size()) to = text.size();
    for (std::size_t i = from; i < to; ++i) {
        if (endsLine(text, i)) {
            ++line;
            lineStart = i + 1;
        }
    }
}

TextPos ColumnCounter::at(std::size_t offset, int line, std::size_t lineStart) {
    if (offset > m_text.size()) offset = m_text.size();
    if (lineStart == m_lineStart && offset >= m_offset)
        m_column += columnOf(m_text, m_offset, offset) - 1;
    else
        m_column = columnOf(m_text, lineStart, offset);
    m_lineStart = lineStart;
    m_offset = offset;
    return {line, m_column};
}

TextPos ColumnCounter::before(std::size_t offset, int line, std::size_t lineStart,
                              std::size_t floor) {
    if (offset > lineStart) {
        // From the first byte of that character (the column of a character is where it starts).
        const std::size_t stop = floor > lineStart ? floor : lineStart;
        std::size_t last = offset - 1;
        while (last > stop && !startsCharacter(m_text[last])) --last;
        return at(last, line, lineStart);
    }
    // offset - 1 is the line break ending the line before: find where that line starts.
    std::size_t start = offset - 1;
    while (start > 0 && !endsLine(m_text, start - 1)) --start;
    return at(offset - 1, line - 1, start);
}

}  // namespace db
