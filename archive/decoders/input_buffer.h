// InputBuffer: the compressed bytes of one entry, pulled from its ByteSource in blocks.
// Reading past the end yields zero bytes and sets a flag the decoder turns into an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/decoders/decoder.h"

namespace archive {

class InputBuffer {
  public:
    static constexpr std::size_t kBlock = 64 * 1024;

    explicit InputBuffer(ByteSource& source) : m_source(source), m_buf(kBlock) {}

    // The next byte, or 0 past the end (overrun() then tells).
    std::uint8_t byte() {
        if (m_pos == m_len && !load()) {
            m_overrun = true;
            return 0;
        }
        return m_buf[m_pos++];
    }
    // Up to 8 buffered bytes without a load, for the bit reader's fast path.
    std::size_t buffered() const { return m_len - m_pos; }
    const std::uint8_t* data() const { return m_buf.data() + m_pos; }
    void skip(std::size_t n) { m_pos += n; }
    // Makes bytes available when the block is used up; false at the end or on a source error.
    bool load();

    bool overrun() const { return m_overrun; }
    void setOverrun() { m_overrun = true; }
    // The source's own failure (an I/O error reading the archive), if any.
    const std::optional<DecodeError>& sourceError() const { return m_error; }

  private:
    ByteSource& m_source;
    std::vector<std::uint8_t> m_buf;
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    bool m_ended = false;
    bool m_overrun = false;
    std::optional<DecodeError> m_error;
};

}  // namespace archive
