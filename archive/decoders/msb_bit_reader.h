// MsbBitReader: most-significant-bit-first bits over a PaddedInput, the order bzip2 packs
// everything in. Bits past the compressed data read as zero and make overrun() true. It is a
// small value: a hot loop works on a local copy (whose fields stay in registers) and assigns
// it back.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "archive/decoders/padded_input.h"

namespace archive {

class MsbBitReader {
  public:
    explicit MsbBitReader(PaddedInput& in) : m_in(&in), m_next(in.data()), m_limit(readLimit(in)) {}

    // At least 57 bits are held after this (zeros past the end of the data). The next bit is
    // the top bit of m_bits.
    void refill() {
        if (m_count > 56) return;
        if (m_limit - m_next >= 8) {
            std::uint64_t v;
            std::memcpy(&v, m_next, 8);
            if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
            // OR-ing the whole word in is harmless: the bits past the bytes taken are the
            // same ones the next refill puts at the same place.
            m_bits |= v >> m_count;
            const unsigned take = (63 - m_count) >> 3;
            m_next += take;
            m_count += take * 8;
            return;
        }
        refillSlow();
    }
    // The next n bits (1 <= n <= 32) without consuming them; refill() first.
    std::uint32_t peek(unsigned n) const { return static_cast<std::uint32_t>(m_bits >> (64 - n)); }
    void drop(unsigned n) {
        m_bits <<= n;
        m_count -= n;
    }
    std::uint32_t bits(unsigned n) {
        refill();
        const std::uint32_t v = peek(n);
        drop(n);
        return v;
    }
    bool bit() { return bits(1) != 0; }
    // Skips to the next byte boundary of the input (a bzip2 stream ends padded to a byte).
    void alignToByte() { drop(m_count & 7u); }
    // True once a bit past the end of the compressed data was consumed.
    bool overrun() const { return m_overrun || (m_in->ended() && bitsPastEnd() > 0); }
    // True when no bit of the input is left (the padding to a byte boundary aside).
    bool atEnd();

  private:
    static const std::uint8_t* readLimit(const PaddedInput& in) {
        return in.ended() ? in.dataEnd() + PaddedInput::kPad : in.dataEnd();
    }
    // Fewer than 8 bytes left in the block: refill the input and go on; at the end of the
    // padding, zeros without reading.
    void refillSlow();
    // Bits consumed beyond the end of the data (negative: still to come).
    std::ptrdiff_t bitsPastEnd() const {
        return (m_next - m_in->dataEnd()) * 8 - static_cast<std::ptrdiff_t>(m_count);
    }

    PaddedInput* m_in;
    const std::uint8_t* m_next;   // the next byte to take into m_bits
    const std::uint8_t* m_limit;  // how far 8-byte loads may reach
    std::uint64_t m_bits = 0;
    unsigned m_count = 0;
    bool m_overrun = false;
};

}  // namespace archive
