#include "db/text_position.h"

#include <cassert>

namespace db {
namespace {

// The line breaks in [from, to) of p[0..n): every LF, and every CR not followed by an LF (the
// CR of a CR LF pair is the last character of its line; the LF ends the line). Written as
// plain counting loops so that the compiler turns them into vector code.
int countBreaks(const char* p, std::size_t n, std::size_t from, std::size_t to) {
    const std::size_t pairedEnd = to < n ? to : n - 1;  // p[i + 1] exists below pairedEnd
    std::size_t breaks = 0;
    for (std::size_t i = from; i < pairedEnd; ++i)
        breaks += (p[i] == '\n') | ((p[i] == '\r') & (p[i + 1] != '\n'));
    if (pairedEnd < to) breaks += p[n - 1] == '\n' || p[n - 1] == '\r';  // the text's last byte
    return static_cast<int>(breaks);
}

// Characters in [from, to): bytes that are not UTF-8 continuation bytes (10xxxxxx).
int countCharacters(const char* p, std::size_t from, std::size_t to) {
    std::size_t chars = 0;
    for (std::size_t i = from; i < to; ++i)
        chars += (static_cast<unsigned char>(p[i]) & 0xC0) != 0x80;
    return static_cast<int>(chars);
}

bool endsLine(const char* p, std::size_t n, std::size_t i) {
    return p[i] == '\n' || (p[i] == '\r' && (i + 1 >= n || p[i + 1] != '\n'));
}

}  // namespace

TextPos TextPositions::at(std::size_t offset) {
    assert(offset >= m_offset);
    const std::size_t n = m_text.size();
    const char* p = m_text.data();
    if (offset > n) offset = n;
    if (offset == m_offset) return m_pos;
    const int breaks = countBreaks(p, n, m_offset, offset);
    if (breaks == 0) {
        m_pos.column += countCharacters(p, m_offset, offset);
    } else {
        // The line of `offset` starts after the last line break before it.
        std::size_t lineStart = offset;
        while (!endsLine(p, n, lineStart - 1)) --lineStart;
        m_pos.line += breaks;
        m_pos.column = 1 + countCharacters(p, lineStart, offset);
    }
    m_offset = offset;
    return m_pos;
}

}  // namespace db
