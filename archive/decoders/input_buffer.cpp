#include "archive/decoders/input_buffer.h"

#include <span>

namespace archive {

bool InputBuffer::load() {
    if (m_pos < m_len) return true;
    if (m_ended) return false;
    auto got = m_source.read(std::as_writable_bytes(std::span(m_buf)));
    if (!got) {
        m_error = got.error();
        m_ended = true;
        return false;
    }
    m_pos = 0;
    m_len = *got;
    if (m_len == 0) m_ended = true;
    return m_len != 0;
}

}  // namespace archive
