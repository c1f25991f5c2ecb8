#include "archive/decoders/bzip2_huffman.h"

namespace archive {

bool Bzip2Huffman::build(std::span<const std::uint8_t> lengths) {
    std::array<std::uint32_t, kMaxBits + 2> count{};
    for (const std::uint8_t len : lengths) ++count[len];
    count[0] = 0;

    // Canonical order: by length, then by symbol. start[len] is where that length's symbols go.
    std::array<std::uint32_t, kMaxBits + 2> start{};
    for (unsigned len = 1; len <= kMaxBits; ++len) start[len + 1] = start[len] + count[len];
    {
        auto next = start;
        for (std::size_t sym = 0; sym < lengths.size(); ++sym)
            if (lengths[sym] != 0)
                m_symbols[next[lengths[sym]]++] = static_cast<std::uint16_t>(sym);
    }

    m_fast.fill(0);
    std::uint32_t code = 0;  // the first code of the current length
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        const std::uint32_t end = code + count[len];
        if (end > (1u << len)) return false;  // over-subscribed
        m_limit[len] = end << (kMaxBits - len);
        m_offset[len] = static_cast<std::int32_t>(start[len]) - static_cast<std::int32_t>(code);
        if (len <= kFastBits) {
            for (std::uint32_t c = code; c < end; ++c) {
                const std::uint16_t sym = m_symbols[start[len] + (c - code)];
                const auto entry = static_cast<std::uint16_t>((sym + 1) << 5 | len);
                const unsigned shift = kFastBits - len;
                for (std::uint32_t i = c << shift; i < (c + 1) << shift; ++i) m_fast[i] = entry;
            }
        }
        code = end << 1;
    }
    return true;
}

std::uint32_t Bzip2Huffman::decodeLong(std::uint32_t v) const {
    for (unsigned len = kFastBits + 1; len <= kMaxBits; ++len) {
        if (v < m_limit[len]) {
            const auto c = static_cast<std::int32_t>(v >> (kMaxBits - len));
            const std::uint32_t sym = m_symbols[static_cast<std::size_t>(m_offset[len] + c)];
            return (sym + 1) << 5 | len;
        }
    }
    return 0;  // drops nothing and gives kInvalid
}

}  // namespace archive
