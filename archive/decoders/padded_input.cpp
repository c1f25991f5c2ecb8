#include "archive/decoders/padded_input.h"

#include <cstring>
#include <span>

namespace archive {

core::Result<void, DecodeError> PaddedInput::fill(std::size_t want) {
    if (m_ended || available() >= want) return core::Ok{};
    const std::size_t kept = available();  // before the end no reader goes past m_end
    std::memmove(m_buf.data(), m_buf.data() + m_pos, kept);
    m_pos = 0;
    m_end = kept;
    while (m_end < want) {
        auto got =
            m_source.read(std::as_writable_bytes(std::span(m_buf).subspan(m_end, kBlock - m_end)));
        if (!got) m_error = got.error();
        if (!got || *got == 0) {
            m_ended = true;
            std::memset(m_buf.data() + m_end, 0, kPad);
            break;
        }
        m_end += *got;
    }
    if (m_error) return core::fail(*m_error);
    return core::Ok{};
}

}  // namespace archive
