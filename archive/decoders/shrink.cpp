// Format notes (APPNOTE 5.1, "Shrinking"):
// - codes are read least significant bit first, 9 bits wide at the start and at most 13;
// - 0-255 stand for their byte; 256 is an escape: the next code 1 makes codes one bit wider,
//   2 is a partial clear, which frees every code above 256 that is no other code's prefix;
// - every code after the first adds a string to the table: the previous code's string plus
//   the first byte of the current one, at the lowest free code; a code that is not yet in the
//   table can only be that very code (the previous string plus its own first byte).
// - after a partial clear a new string's prefix may be a code that was just freed; when that
//   code is taken again, the strings built on it continue from its new string.
#include "archive/decoders/shrink.h"

#include <algorithm>
#include <array>
#include <vector>

#include "archive/decoders/bit_reader.h"
#include "archive/decoders/stream_decoder.h"

namespace archive {
namespace {

constexpr unsigned kMaxBits = 13;
constexpr unsigned kTableSize = 1u << kMaxBits;
constexpr unsigned kFirstFree = 257;
constexpr std::int16_t kUnused = -1;

class ShrinkDecoder final : public StreamDecoder {
  public:
    ShrinkDecoder(const DecoderParams& params, ByteSource& source)
        : StreamDecoder("shrink", params.uncompressedSize),
          m_input(source),
          m_bits(m_input),
          m_prefix(kTableSize, kUnused),
          m_suffix(kTableSize, 0) {}

  protected:
    core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) override;

  private:
    bool defined(unsigned code) const { return code < 256 || m_prefix[code] != kUnused; }
    // Writes the code's string into m_string (first byte first); false for a loop or an
    // undefined link, which only corrupt data makes.
    bool expand(unsigned code);
    void partialClear();
    void findNextFree() {
        while (m_nextFree < kTableSize && m_prefix[m_nextFree] != kUnused) ++m_nextFree;
    }
    core::Result<core::Ok, DecodeError> nextString();
    core::Unexpected<DecodeError> inputError() {
        if (m_input.sourceError()) return core::fail(*m_input.sourceError());
        return error("the compressed data ends early");
    }

    InputBuffer m_input;
    BitReader m_bits;
    std::vector<std::int16_t> m_prefix;  // kUnused = free (codes above 256)
    std::vector<std::uint8_t> m_suffix;
    unsigned m_codeBits = 9;
    unsigned m_nextFree = kFirstFree;
    int m_prev = -1;                     // the previous code, -1 before the first
    std::vector<std::uint8_t> m_string;  // the current string
    std::vector<std::uint8_t> m_prevString;
    std::size_t m_stringPos = 0;  // how much of m_string was handed out
};

bool ShrinkDecoder::expand(unsigned code) {
    m_string.clear();
    for (unsigned steps = 0; code >= 256; ++steps) {
        if (steps >= kTableSize) return false;
        if (m_prefix[code] == kUnused) {
            // Only the code this step is about to define may be missing: the previous string
            // plus its own first byte (LZW's "KwKwK"; after a partial clear it can also sit
            // inside another code's chain).
            if (code != m_nextFree || m_prev < 0 || m_nextFree >= kTableSize) return false;
            m_string.push_back(m_prevString.front());
            m_string.insert(m_string.end(), m_prevString.rbegin(), m_prevString.rend());
            std::reverse(m_string.begin(), m_string.end());
            return true;
        }
        m_string.push_back(m_suffix[code]);
        code = static_cast<unsigned>(m_prefix[code]);
    }
    m_string.push_back(static_cast<std::uint8_t>(code));
    std::reverse(m_string.begin(), m_string.end());
    return true;
}

void ShrinkDecoder::partialClear() {
    std::vector<bool> isPrefix(kTableSize, false);
    for (unsigned c = kFirstFree; c < kTableSize; ++c)
        if (m_prefix[c] != kUnused) isPrefix[static_cast<unsigned>(m_prefix[c])] = true;
    for (unsigned c = kFirstFree; c < kTableSize; ++c)
        if (!isPrefix[c]) m_prefix[c] = kUnused;
    m_nextFree = kFirstFree;
    findNextFree();
}

core::Result<core::Ok, DecodeError> ShrinkDecoder::nextString() {
    for (;;) {
        unsigned code = m_bits.bits(m_codeBits);
        if (m_bits.overrun()) return inputError();
        if (code == 256) {
            const unsigned sub = m_bits.bits(m_codeBits);
            if (m_bits.overrun()) return inputError();
            if (sub == 1) {
                if (++m_codeBits > kMaxBits) return error("the code size grows beyond 13 bits");
            } else if (sub == 2) {
                partialClear();
            } else {
                return error("invalid escape code " + std::to_string(sub));
            }
            continue;
        }
        if (m_prev < 0) {
            if (code > 255) return error("the first code is not a byte");
        } else if (!defined(code) && code != m_nextFree) {
            return error("code " + std::to_string(code) + " is not in the table");
        } else if (!expand(code)) {
            return error("invalid code " + std::to_string(code));
        }
        if (m_prev < 0) {
            m_string.assign(1, static_cast<std::uint8_t>(code));
        } else if (m_nextFree < kTableSize) {
            m_prefix[m_nextFree] = static_cast<std::int16_t>(m_prev);
            m_suffix[m_nextFree] = m_string.front();
            ++m_nextFree;
            findNextFree();
        }
        m_prev = static_cast<int>(code);
        m_prevString = m_string;
        m_stringPos = 0;
        return core::Ok{};
    }
}

core::Result<std::size_t, DecodeError> ShrinkDecoder::produce(std::span<std::byte> out) {
    std::size_t n = 0;
    while (n < out.size()) {
        if (m_stringPos == m_string.size()) {
            auto r = nextString();
            if (!r) return core::fail(r.error());
        }
        const std::size_t k = std::min(out.size() - n, m_string.size() - m_stringPos);
        std::copy_n(reinterpret_cast<const std::byte*>(m_string.data() + m_stringPos), k,
                    out.data() + n);
        m_stringPos += k;
        n += k;
    }
    return n;
}

}  // namespace

std::unique_ptr<Decoder> makeShrinkDecoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<ShrinkDecoder>(params, source);
}

}  // namespace archive
