#include "archive/decoders/huffman_table.h"

namespace archive {

bool HuffmanTable::build(std::span<const std::uint8_t> lengths) {
    if (lengths.size() > kMaxSymbols) return false;
    m_count.fill(0);
    m_fast.fill(0);
    for (std::uint8_t len : lengths) {
        if (len > kMaxBits) return false;
        ++m_count[len];
    }
    m_count[0] = 0;
    // RFC 1951 3.2.2: codes of each length follow the shorter ones; "left" counts the codes
    // still free at the current length, and may not go negative.
    int left = 1;
    std::array<std::uint16_t, kMaxBits + 2> offset{};
    std::array<std::uint32_t, kMaxBits + 2> next{};
    std::uint32_t code = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        left = left * 2 - m_count[len];
        if (left < 0) return false;
        offset[len + 1] = static_cast<std::uint16_t>(offset[len] + m_count[len]);
        code = (code + m_count[len - 1]) << 1;
        next[len] = code;
    }
    for (std::size_t sym = 0; sym < lengths.size(); ++sym) {
        const unsigned len = lengths[sym];
        if (len == 0) continue;
        m_symbols[offset[len]++] = static_cast<std::uint16_t>(sym);
        const std::uint32_t c = next[len]++;
        if (len > kFastBits) continue;
        // The stream sends a code's first bit first, so the lookup index is the code reversed.
        std::uint32_t rev = 0;
        for (unsigned i = 0; i < len; ++i) rev |= ((c >> i) & 1u) << (len - 1 - i);
        for (std::uint32_t k = rev; k < (1u << kFastBits); k += 1u << len)
            m_fast[k] = static_cast<std::uint16_t>((sym << 4) | len);
    }
    return true;
}

int HuffmanTable::decodeSlow(BitReader& in) const {
    const std::uint32_t bits = in.peek(kMaxBits);
    int code = 0;   // the bits read so far, first bit highest
    int first = 0;  // the first code of the current length
    int index = 0;  // where the current length's symbols start in m_symbols
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        code |= static_cast<int>((bits >> (len - 1)) & 1u);
        const int count = m_count[len];
        if (code - first < count) {
            in.drop(len);
            return m_symbols[static_cast<std::size_t>(index + code - first)];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;
}

}  // namespace archive
