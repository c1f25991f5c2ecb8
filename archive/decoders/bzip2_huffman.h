// Bzip2Huffman: one of a bzip2 block's coding tables. The codes are canonical: assigned in
// order of length, and within a length in symbol order, sent most significant bit first.
// Codes up to kFastBits long are found by one lookup; longer ones (up to 20 bits) by
// comparing the next 20 bits with each length's last code.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "archive/decoders/msb_bit_reader.h"

namespace archive {

class Bzip2Huffman {
  public:
    static constexpr unsigned kMaxBits = 20;
    static constexpr unsigned kMaxSymbols = 258;  // RUNA, RUNB, 255 MTF positions, EOB
    static constexpr unsigned kFastBits = 10;
    static constexpr int kInvalid = -1;

    // Builds the code from each symbol's length (1-20). False when the lengths ask for more
    // codes than exist; an incomplete code is accepted and its unused patterns decode as
    // kInvalid.
    bool build(std::span<const std::uint8_t> lengths);

    // The next symbol; the reader must hold at least 20 bits (refill() first).
    int decode(MsbBitReader& in) const {
        const std::uint32_t v = in.peek(kMaxBits);
        std::uint32_t e = m_fast[v >> (kMaxBits - kFastBits)];
        if ((e & 0x1F) == 0) e = decodeLong(v);
        in.drop(e & 0x1F);
        return static_cast<int>(e >> 5) - 1;
    }

  private:
    // For the next 20 bits: (symbol + 1) << 5 | length, or 0 for no code.
    std::uint32_t decodeLong(std::uint32_t v) const;

    std::array<std::uint16_t, 1u << kFastBits> m_fast{};  // (symbol + 1) << 5 | length; 0: longer
    // For each length: the first code after the last one of that length, left-aligned to 20
    // bits, and where its symbols start in m_symbols minus its first code.
    std::array<std::uint32_t, kMaxBits + 1> m_limit{};
    std::array<std::int32_t, kMaxBits + 1> m_offset{};
    std::array<std::uint16_t, kMaxSymbols> m_symbols{};  // symbols in canonical order
};

}  // namespace archive
