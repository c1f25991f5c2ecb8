#include "db/text_position.h"

#include "db/lexer.h"

namespace db {

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
        while (last > stop && (static_cast<unsigned char>(m_text[last]) & 0xC0) == 0x80) --last;
        return at(last, line, lineStart);
    }
    // offset - 1 is the line break ending the line before: find where that line starts.
    std::size_t start = offset - 1;
    while (start > 0 && !endsLine(m_text, start - 1)) --start;
    return at(offset - 1, line - 1, start);
}

}  // namespace db
