// BitReader: least-significant-bit-first bits over an InputBuffer, the order Deflate, implode,
// shrink and reduce all pack their codes in. Bits past the compressed data read as zero and
// mark the reader as overrun; each decoder checks that once per symbol.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "archive/decoders/input_buffer.h"

namespace archive {

class BitReader {
  public:
    explicit BitReader(InputBuffer& in) : m_in(in) {}

    // At least 57 bits are in the buffer after this (zeros past the end of the data).
    void refill() {
        if (m_count > 56) return;
        if (m_in.buffered() >= 8) {
            std::uint64_t v;
            std::memcpy(&v, m_in.data(), 8);
            if constexpr (std::endian::native == std::endian::big) v = byteswap(v);
            m_bits |= v << m_count;
            const unsigned take = (63 - m_count) >> 3;
            m_in.skip(take);
            m_count += take * 8;
            return;
        }
        while (m_count <= 56) {
            if (m_in.buffered() == 0 && !m_in.load()) {
                m_padBits += 8;  // zeros: m_bits already holds 0 there
            } else {
                m_bits |= std::uint64_t{m_in.byte()} << m_count;
            }
            m_count += 8;
        }
    }
    // The next n bits (n <= 32) without consuming them; call refill() first.
    std::uint32_t peek(unsigned n) const {
        return static_cast<std::uint32_t>(m_bits & ((std::uint64_t{1} << n) - 1));
    }
    void drop(unsigned n) {
        m_bits >>= n;
        m_count -= n;
        if (m_count < m_padBits) m_overrun = true;
    }
    std::uint32_t bits(unsigned n) {
        refill();
        const std::uint32_t v = peek(n);
        drop(n);
        return v;
    }
    // Skips to the next byte boundary of the input.
    void alignToByte() { drop(m_count & 7u); }

    // True once a bit past the end of the compressed data was consumed.
    bool overrun() const { return m_overrun; }
    InputBuffer& input() { return m_in; }

  private:
    static std::uint64_t byteswap(std::uint64_t v) {
        std::uint64_t r = 0;
        for (int i = 0; i < 8; ++i) r = (r << 8) | ((v >> (8 * i)) & 0xFF);
        return r;
    }

    InputBuffer& m_in;
    std::uint64_t m_bits = 0;
    unsigned m_count = 0;
    unsigned m_padBits = 0;
    bool m_overrun = false;
};

}  // namespace archive
