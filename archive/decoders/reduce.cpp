// Format notes (APPNOTE 5.2, "Reducing"):
// - the data starts with 256 follower sets, for the bytes 255 down to 0: a 6-bit count (at
//   most 32) and that many 8-bit followers;
// - each byte then comes either as 8 plain bits (when the previous byte's set is empty, or
//   after a 1 bit) or, after a 0 bit, as an index of B(n) bits into that set, where B(n) is
//   the bits needed for n - 1 and at least 1;
// - the bytes drive the expansion with DLE = 144: DLE 0 is a literal 144; DLE V starts a copy
//   whose length is V's low (8 - factor) bits plus 3 (all ones: plus a further byte) and whose
//   distance is V's high factor bits times 256, plus the next byte, plus 1; bytes before the
//   start of the data are zeros.
#include "archive/decoders/reduce.h"

#include <algorithm>
#include <array>
#include <vector>

#include "archive/decoders/bit_reader.h"
#include "archive/decoders/stream_decoder.h"

namespace archive {
namespace {

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kWindowMask = kWindow - 1;
constexpr std::uint8_t kDle = 144;

unsigned indexBits(unsigned n) {
    unsigned bits = 1;
    while ((1u << bits) < n) ++bits;
    return bits;
}

class ReduceDecoder final : public StreamDecoder {
  public:
    ReduceDecoder(const DecoderParams& params, ByteSource& source)
        : StreamDecoder("reduce", params.uncompressedSize),
          m_input(source),
          m_bits(m_input),
          m_factor(params.method >= 2 && params.method <= 5 ? params.method - 1u : 1u),
          m_window(kWindow, 0) {}

  protected:
    core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) override;

  private:
    // The expansion's states: after a plain byte, after DLE, after DLE V with a long length
    // (a length byte follows), and waiting for the distance's low byte.
    enum class State { Plain, AfterDle, LengthByte, DistanceByte };

    core::Result<core::Ok, DecodeError> readFollowerSets();
    // The next byte of the follower stage, or -1 for an index past the end of a set.
    int nextByte();
    void put(std::uint8_t b, std::span<std::byte> out, std::size_t& n) {
        m_window[m_pos++ & kWindowMask] = b;
        out[n++] = std::byte{b};
    }
    core::Unexpected<DecodeError> inputError() {
        if (m_input.sourceError()) return core::fail(*m_input.sourceError());
        return error("the compressed data ends early");
    }

    InputBuffer m_input;
    BitReader m_bits;
    unsigned m_factor;
    std::vector<std::uint8_t> m_window;
    std::uint64_t m_pos = 0;
    bool m_started = false;
    std::array<std::array<std::uint8_t, 32>, 256> m_followers{};
    std::array<std::uint8_t, 256> m_followerCount{};
    std::uint8_t m_last = 0;  // the previous byte of the follower stage
    State m_state = State::Plain;
    unsigned m_v = 0;
    unsigned m_length = 0;
    std::uint32_t m_copyLeft = 0;
    std::uint32_t m_copyDist = 0;
};

core::Result<core::Ok, DecodeError> ReduceDecoder::readFollowerSets() {
    for (int c = 255; c >= 0; --c) {
        const unsigned n = m_bits.bits(6);
        if (n > 32)
            return error("follower set of byte " + std::to_string(c) + " has " + std::to_string(n) +
                         " entries");
        m_followerCount[static_cast<unsigned>(c)] = static_cast<std::uint8_t>(n);
        for (unsigned i = 0; i < n; ++i)
            m_followers[static_cast<unsigned>(c)][i] = static_cast<std::uint8_t>(m_bits.bits(8));
    }
    if (m_bits.overrun()) return inputError();
    return core::Ok{};
}

int ReduceDecoder::nextByte() {
    const unsigned n = m_followerCount[m_last];
    std::uint8_t b;
    if (n == 0 || m_bits.bits(1) != 0) {
        b = static_cast<std::uint8_t>(m_bits.bits(8));
    } else {
        const unsigned index = m_bits.bits(indexBits(n));
        if (index >= n) return -1;
        b = m_followers[m_last][index];
    }
    m_last = b;
    return b;
}

core::Result<std::size_t, DecodeError> ReduceDecoder::produce(std::span<std::byte> out) {
    if (!m_started) {
        auto r = readFollowerSets();
        if (!r) return core::fail(r.error());
        m_started = true;
    }
    const unsigned lengthMask = 0xFFu >> m_factor;
    std::size_t n = 0;
    while (n < out.size()) {
        if (m_copyLeft > 0) {
            std::uint32_t k =
                std::min<std::uint32_t>(m_copyLeft, static_cast<std::uint32_t>(out.size() - n));
            m_copyLeft -= k;
            for (; k > 0; --k) put(m_window[(m_pos - m_copyDist) & kWindowMask], out, n);
            continue;
        }
        const int next = nextByte();
        if (m_bits.overrun()) return inputError();
        if (next < 0) return error("a follower index lies past the end of its set");
        const auto c = static_cast<std::uint8_t>(next);
        switch (m_state) {
            case State::Plain:
                if (c == kDle)
                    m_state = State::AfterDle;
                else
                    put(c, out, n);
                break;
            case State::AfterDle:
                if (c == 0) {
                    put(kDle, out, n);
                    m_state = State::Plain;
                } else {
                    m_v = c;
                    m_length = c & lengthMask;
                    m_state = m_length == lengthMask ? State::LengthByte : State::DistanceByte;
                }
                break;
            case State::LengthByte:
                m_length += c;
                m_state = State::DistanceByte;
                break;
            case State::DistanceByte:
                m_copyDist = ((m_v >> (8 - m_factor)) << 8) + c + 1;
                m_copyLeft = m_length + 3;
                m_state = State::Plain;
                break;
        }
    }
    return n;
}

}  // namespace

std::unique_ptr<Decoder> makeReduceDecoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<ReduceDecoder>(params, source);
}

}  // namespace archive
