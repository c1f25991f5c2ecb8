// PaddedInput: the compressed bytes of an entry, pulled from its ByteSource in blocks, for
// decoders whose inner loops read ahead without a bounds check per byte. The unread bytes
// move to the front before each refill, and once the data has ended kPad zero bytes follow
// it, so a reader may run up to kPad bytes past the end; it compares its position with
// dataEnd() to tell that it did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "archive/decoders/decoder.h"

namespace archive {

class PaddedInput {
  public:
    static constexpr std::size_t kBlock = 64 * 1024;
    static constexpr std::size_t kPad = 128;

    explicit PaddedInput(ByteSource& source) : m_source(source), m_buf(kBlock + kPad) {}

    // Makes at least `want` (<= kBlock) bytes available unless the data ends first. A source
    // error ends the data too (and is kept).
    core::Result<void, DecodeError> fill(std::size_t want);
    const std::optional<DecodeError>& sourceError() const { return m_error; }

    std::size_t available() const { return m_end - m_pos; }
    bool ended() const { return m_ended; }
    const std::uint8_t* data() const { return m_buf.data() + m_pos; }
    const std::uint8_t* dataEnd() const { return m_buf.data() + m_end; }
    // The reader used the bytes up to p (which may lie in the padding).
    void advanceTo(const std::uint8_t* p) { m_pos = static_cast<std::size_t>(p - m_buf.data()); }

  private:
    ByteSource& m_source;
    std::vector<std::uint8_t> m_buf;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_ended = false;
    std::optional<DecodeError> m_error;
};

}  // namespace archive
