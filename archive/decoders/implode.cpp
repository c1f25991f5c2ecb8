// Format notes (APPNOTE 5.3, "Imploding"):
// - flag bit 1 set: 8 KiB dictionary and 7 low distance bits, else 4 KiB and 6; flag bit 2
//   set: three trees (literals, lengths, distances) and matches of at least 3, else two trees
//   (lengths, distances), literals sent as 8 plain bits, and matches of at least 2;
// - each tree is sent as a byte count - 1 and that many bytes, each "values - 1" (high nibble)
//   of "bit length - 1" (low nibble), for 256 literal or 64 length/distance values in order;
// - codes are Shannon-Fano: lengths sorted ascending (stable), then the longest get the
//   smallest 16-bit codes; a code's first bit sent is its most significant;
// - the data: a 1 bit then a literal, or a 0 bit then the low distance bits, the distance's
//   upper 6 bits (tree), the length (tree) plus the minimum, and for length code 63 8 more
//   bits; the copy starts distance + 1 back, and bytes before the start of the data are zeros.
#include "archive/decoders/implode.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include "archive/decoders/bit_reader.h"
#include "archive/decoders/stream_decoder.h"

namespace archive {
namespace {

constexpr std::size_t kWindow = 8192;
constexpr std::size_t kWindowMask = kWindow - 1;

// One Shannon-Fano tree as a direct lookup on the next maxLength bits.
class ShannonFanoTable {
  public:
    // false when the lengths are not a usable code (no values, or lengths beyond 16 bits).
    bool build(const std::vector<std::uint8_t>& lengths) {
        const std::size_t n = lengths.size();
        std::vector<std::size_t> order(n);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return lengths[a] < lengths[b]; });
        m_maxLength = lengths[order.back()];
        if (m_maxLength == 0 || m_maxLength > 16) return false;
        m_table.assign(std::size_t{1} << m_maxLength, 0);
        std::uint32_t code = 0, increment = 0;
        unsigned lastLength = 0;
        for (std::size_t k = n; k-- > 0;) {
            const std::size_t sym = order[k];
            const unsigned len = lengths[sym];
            code = (code + increment) & 0xFFFF;
            if (len != lastLength) {
                lastLength = len;
                increment = 1u << (16 - len);
            }
            // The code's top len bits, most significant first in the stream: the lookup
            // index is those bits reversed.
            const std::uint32_t c = code >> (16 - len);
            std::uint32_t rev = 0;
            for (unsigned i = 0; i < len; ++i) rev |= ((c >> i) & 1u) << (len - 1 - i);
            for (std::uint32_t j = rev; j < m_table.size(); j += 1u << len)
                m_table[j] = static_cast<std::uint16_t>((sym << 5) | len);
        }
        return true;
    }
    // The next value, or -1 for a bit pattern no value has.
    int decode(BitReader& in) const {
        in.refill();
        const std::uint16_t e = m_table[in.peek(m_maxLength)];
        if ((e & 31) == 0) return -1;
        in.drop(e & 31);
        return e >> 5;
    }

  private:
    std::vector<std::uint16_t> m_table;  // value << 5 | length; length 0 = no code
    unsigned m_maxLength = 0;
};

class ImplodeDecoder final : public StreamDecoder {
  public:
    ImplodeDecoder(const DecoderParams& params, ByteSource& source)
        : StreamDecoder("implode", params.uncompressedSize),
          m_input(source),
          m_bits(m_input),
          m_window(kWindow, 0),
          m_bigWindow((params.flags & 0x02) != 0),
          m_literalTree((params.flags & 0x04) != 0) {}

  protected:
    core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) override;

  private:
    core::Result<core::Ok, DecodeError> readTrees();
    core::Result<core::Ok, DecodeError> readTree(ShannonFanoTable& table, std::size_t values,
                                                 const char* name);
    core::Unexpected<DecodeError> inputError() {
        if (m_input.sourceError()) return core::fail(*m_input.sourceError());
        return error("the compressed data ends early");
    }

    InputBuffer m_input;
    BitReader m_bits;
    std::vector<std::uint8_t> m_window;
    std::uint64_t m_pos = 0;
    bool m_bigWindow;
    bool m_literalTree;
    bool m_started = false;
    std::uint32_t m_matchLeft = 0;
    std::uint32_t m_matchDist = 0;
    ShannonFanoTable m_literals, m_lengths, m_distances;
};

core::Result<core::Ok, DecodeError> ImplodeDecoder::readTree(ShannonFanoTable& table,
                                                             std::size_t values, const char* name) {
    const unsigned bytes = m_bits.bits(8) + 1;
    std::vector<std::uint8_t> lengths;
    lengths.reserve(values);
    for (unsigned i = 0; i < bytes; ++i) {
        const unsigned b = m_bits.bits(8);
        const unsigned count = (b >> 4) + 1;
        const auto len = static_cast<std::uint8_t>((b & 0x0F) + 1);
        if (lengths.size() + count > values)
            return error(std::string("the ") + name + " tree describes more than " +
                         std::to_string(values) + " values");
        lengths.insert(lengths.end(), count, len);
    }
    if (m_bits.overrun()) return inputError();
    if (lengths.size() != values)
        return error(std::string("the ") + name + " tree describes " +
                     std::to_string(lengths.size()) + " of " + std::to_string(values) + " values");
    if (!table.build(lengths)) return error(std::string("invalid ") + name + " tree");
    return core::Ok{};
}

core::Result<core::Ok, DecodeError> ImplodeDecoder::readTrees() {
    if (m_literalTree) {
        auto r = readTree(m_literals, 256, "literal");
        if (!r) return r;
    }
    auto r = readTree(m_lengths, 64, "length");
    if (!r) return r;
    return readTree(m_distances, 64, "distance");
}

core::Result<std::size_t, DecodeError> ImplodeDecoder::produce(std::span<std::byte> out) {
    if (!m_started) {
        auto r = readTrees();
        if (!r) return core::fail(r.error());
        m_started = true;
    }
    const unsigned lowBits = m_bigWindow ? 7 : 6;
    const unsigned minMatch = m_literalTree ? 3 : 2;
    std::size_t n = 0;
    while (n < out.size()) {
        if (m_matchLeft > 0) {
            std::uint32_t k =
                std::min<std::uint32_t>(m_matchLeft, static_cast<std::uint32_t>(out.size() - n));
            m_matchLeft -= k;
            for (; k > 0; --k) {
                const std::uint8_t b = m_window[(m_pos - m_matchDist) & kWindowMask];
                m_window[m_pos++ & kWindowMask] = b;
                out[n++] = std::byte{b};
            }
            continue;
        }
        if (m_bits.bits(1) != 0) {
            int lit;
            if (m_literalTree) {
                lit = m_literals.decode(m_bits);
                if (lit < 0) return error("invalid literal code");
            } else {
                lit = static_cast<int>(m_bits.bits(8));
            }
            if (m_bits.overrun()) return inputError();
            m_window[m_pos++ & kWindowMask] = static_cast<std::uint8_t>(lit);
            out[n++] = std::byte(static_cast<unsigned char>(lit));
            continue;
        }
        const std::uint32_t low = m_bits.bits(lowBits);
        const int high = m_distances.decode(m_bits);
        if (high < 0) return error("invalid distance code");
        const int lengthCode = m_lengths.decode(m_bits);
        if (lengthCode < 0) return error("invalid length code");
        std::uint32_t length = static_cast<std::uint32_t>(lengthCode) + minMatch;
        if (lengthCode == 63) length += m_bits.bits(8);
        if (m_bits.overrun()) return inputError();
        // Before the start of the data the window holds zeros, which it was filled with.
        m_matchDist = ((static_cast<std::uint32_t>(high) << lowBits) | low) + 1;
        m_matchLeft = length;
    }
    return n;
}

}  // namespace

std::unique_ptr<Decoder> makeImplodeDecoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<ImplodeDecoder>(params, source);
}

}  // namespace archive
