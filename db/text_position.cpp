#include "db/text_position.h"

#include <cassert>

namespace db {

TextPos TextPositions::at(std::size_t offset) {
    assert(offset >= m_offset);
    const std::size_t n = m_text.size();
    const char* p = m_text.data();
    for (; m_offset < offset && m_offset < n; ++m_offset) {
        const unsigned char c = static_cast<unsigned char>(p[m_offset]);
        // The CR of a CR LF pair is the last character of its line; the LF ends the line.
        if (c == '\n' || (c == '\r' && (m_offset + 1 >= n || p[m_offset + 1] != '\n'))) {
            ++m_pos.line;
            m_pos.column = 1;
        } else if ((c & 0xC0) != 0x80) {  // UTF-8 continuation bytes are not characters
            ++m_pos.column;
        }
    }
    return m_pos;
}

}  // namespace db
