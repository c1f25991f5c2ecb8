// HuffmanTable: decodes one canonical prefix code (RFC 1951 3.2.2) from a BitReader, by a
// 10-bit lookup for the common short codes and a canonical walk for the rest.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "archive/decoders/bit_reader.h"

namespace archive {

class HuffmanTable {
  public:
    static constexpr unsigned kMaxBits = 15;
    static constexpr unsigned kMaxSymbols = 320;

    // Builds the code from the symbols' bit lengths (0 = unused). False when the lengths ask
    // for more codes than exist (over-subscribed); an incomplete code is accepted, and its
    // unused bit patterns decode as invalid.
    bool build(std::span<const std::uint8_t> lengths);

    // The next symbol, or -1 for a bit pattern that is no code.
    int decode(BitReader& in) const {
        in.refill();
        const std::uint16_t e = m_fast[in.peek(kFastBits)];
        if (e & 0xF) {
            in.drop(e & 0xF);
            return e >> 4;
        }
        return decodeSlow(in);
    }

  private:
    static constexpr unsigned kFastBits = 10;

    int decodeSlow(BitReader& in) const;

    std::array<std::uint16_t, 1u << kFastBits> m_fast{};  // symbol << 4 | length; 0 = walk
    std::array<std::uint16_t, kMaxBits + 1> m_count{};    // codes of each length
    std::array<std::uint16_t, kMaxSymbols> m_symbols{};   // symbols in canonical order
};

}  // namespace archive
