// Format notes (RFC 1951 and the APPNOTE's Deflate64 remarks):
// - a block starts with BFINAL (1 bit) and BTYPE (2 bits): 0 stored, 1 fixed codes, 2 dynamic
//   codes, 3 invalid;
// - a stored block skips to a byte boundary, then LEN and its ones' complement NLEN (16 bits
//   each) and LEN raw bytes;
// - symbols 0-255 are literals, 256 ends the block, 257-285 start a match whose distance code
//   follows; Deflate64 gives code 285 the base 3 and 16 extra bits (lengths up to 65538) and
//   adds distance codes 30 and 31 (bases 32769 and 49153, 14 extra bits), so the window is
//   64 KiB.
#include "archive/decoders/deflate64.h"

#include <array>
#include <vector>

#include "archive/decoders/bit_reader.h"
#include "archive/decoders/huffman_table.h"
#include "archive/decoders/stream_decoder.h"

namespace archive {
namespace {

constexpr std::size_t kWindow = 64 * 1024;
constexpr std::size_t kWindowMask = kWindow - 1;

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::array<std::uint16_t, 32> kDistBase = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistExtra = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3, 4,
                                                     4,  5,  5,  6,  6,  7,  7,  8,  8,  9, 9,
                                                     10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// RFC 1951 3.2.7: the order in which the code length code's lengths are sent.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

class Deflate64Decoder final : public StreamDecoder {
  public:
    Deflate64Decoder(const DecoderParams& params, ByteSource& source)
        : StreamDecoder("Deflate64", params.uncompressedSize),
          m_input(source),
          m_bits(m_input),
          m_window(kWindow) {}

  protected:
    core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) override;

  private:
    enum class State { BlockHeader, Stored, Codes, Done };

    core::Result<State, DecodeError> readBlockHeader();
    core::Result<State, DecodeError> readDynamicCodes();
    void useFixedCodes();
    core::Unexpected<DecodeError> inputError();

    void put(std::uint8_t b, std::byte* out, std::size_t& n) {
        m_window[m_pos & kWindowMask] = b;
        ++m_pos;
        out[n++] = std::byte{b};
    }

    InputBuffer m_input;
    BitReader m_bits;
    std::vector<std::uint8_t> m_window;
    std::uint64_t m_pos = 0;  // bytes decoded so far; also the write position in the window
    State m_state = State::BlockHeader;
    bool m_lastBlock = false;
    std::uint32_t m_storedLeft = 0;
    std::uint32_t m_matchLeft = 0;
    std::uint32_t m_matchDist = 0;
    HuffmanTable m_literals;
    HuffmanTable m_distances;
};

core::Unexpected<DecodeError> Deflate64Decoder::inputError() {
    if (m_input.sourceError()) return core::fail(*m_input.sourceError());
    return error("the compressed data ends in the middle of a block");
}

core::Result<std::size_t, DecodeError> Deflate64Decoder::produce(std::span<std::byte> outSpan) {
    std::byte* out = outSpan.data();
    const std::size_t want = outSpan.size();
    std::size_t n = 0;
    while (n < want) {
        if (m_matchLeft > 0) {
            // The copy may overlap its own output (distance < length): byte by byte.
            std::uint32_t k =
                std::min<std::uint32_t>(m_matchLeft, static_cast<std::uint32_t>(want - n));
            m_matchLeft -= k;
            for (; k > 0; --k) put(m_window[(m_pos - m_matchDist) & kWindowMask], out, n);
            continue;
        }
        switch (m_state) {
            case State::Done:
                return n;
            case State::BlockHeader: {
                auto next = readBlockHeader();
                if (!next) return core::fail(next.error());
                m_state = *next;
                continue;
            }
            case State::Stored: {
                if (m_storedLeft == 0) {
                    m_state = m_lastBlock ? State::Done : State::BlockHeader;
                    continue;
                }
                std::uint32_t k =
                    std::min<std::uint32_t>(m_storedLeft, static_cast<std::uint32_t>(want - n));
                m_storedLeft -= k;
                for (; k > 0; --k) put(static_cast<std::uint8_t>(m_bits.bits(8)), out, n);
                if (m_bits.overrun()) return inputError();
                continue;
            }
            case State::Codes:
                break;
        }
        const int sym = m_literals.decode(m_bits);
        if (sym < 256) {
            if (sym < 0) return error("invalid literal/length code");
            if (m_bits.overrun()) return inputError();
            put(static_cast<std::uint8_t>(sym), out, n);
            continue;
        }
        if (sym == 256) {
            if (m_bits.overrun()) return inputError();
            m_state = m_lastBlock ? State::Done : State::BlockHeader;
            continue;
        }
        const unsigned li = static_cast<unsigned>(sym) - 257;
        if (li >= kLengthBase.size()) return error("invalid length symbol " + std::to_string(sym));
        const std::uint32_t length = kLengthBase[li] + m_bits.bits(kLengthExtra[li]);
        const int dsym = m_distances.decode(m_bits);
        if (dsym < 0) return error("invalid distance code");
        const std::uint32_t dist = kDistBase[static_cast<unsigned>(dsym)] +
                                   m_bits.bits(kDistExtra[static_cast<unsigned>(dsym)]);
        if (m_bits.overrun()) return inputError();
        if (dist > m_pos) return error("a match reaches before the start of the data");
        m_matchLeft = length;
        m_matchDist = dist;
    }
    return n;
}

core::Result<Deflate64Decoder::State, DecodeError> Deflate64Decoder::readBlockHeader() {
    if (m_lastBlock) return State::Done;
    m_lastBlock = m_bits.bits(1) != 0;
    const std::uint32_t type = m_bits.bits(2);
    if (m_bits.overrun()) return inputError();
    switch (type) {
        case 0: {
            m_bits.alignToByte();
            const std::uint32_t len = m_bits.bits(16);
            const std::uint32_t nlen = m_bits.bits(16);
            if (m_bits.overrun()) return inputError();
            if ((len ^ 0xFFFFu) != nlen)
                return error("stored block length does not match its complement");
            m_storedLeft = len;
            return State::Stored;
        }
        case 1:
            useFixedCodes();
            return State::Codes;
        case 2:
            return readDynamicCodes();
        default:
            return error("invalid block type 3");
    }
}

void Deflate64Decoder::useFixedCodes() {
    // RFC 1951 3.2.6; Deflate64 uses all 32 five-bit distance codes.
    std::array<std::uint8_t, 288> lit{};
    for (std::size_t i = 0; i < lit.size(); ++i)
        lit[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    std::array<std::uint8_t, 32> dist{};
    dist.fill(5);
    (void)m_literals.build(lit);
    (void)m_distances.build(dist);
}

core::Result<Deflate64Decoder::State, DecodeError> Deflate64Decoder::readDynamicCodes() {
    const unsigned nlit = m_bits.bits(5) + 257;
    const unsigned ndist = m_bits.bits(5) + 1;
    const unsigned nclen = m_bits.bits(4) + 4;
    if (nlit > 288) return error("too many literal/length codes");
    std::array<std::uint8_t, 19> clen{};
    for (unsigned i = 0; i < nclen; ++i)
        clen[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(m_bits.bits(3));
    if (m_bits.overrun()) return inputError();
    HuffmanTable lengthCode;
    if (!lengthCode.build(clen)) return error("invalid code length code");

    std::array<std::uint8_t, 288 + 32> lengths{};
    unsigned i = 0;
    while (i < nlit + ndist) {
        const int sym = lengthCode.decode(m_bits);
        if (sym < 0) return error("invalid code length symbol");
        if (sym < 16) {
            lengths[i++] = static_cast<std::uint8_t>(sym);
            continue;
        }
        std::uint8_t value = 0;
        unsigned repeat = 0;
        if (sym == 16) {
            if (i == 0) return error("a repeat code has no previous length");
            value = lengths[i - 1];
            repeat = 3 + m_bits.bits(2);
        } else if (sym == 17) {
            repeat = 3 + m_bits.bits(3);
        } else {
            repeat = 11 + m_bits.bits(7);
        }
        if (i + repeat > nlit + ndist) return error("code lengths run past their count");
        for (; repeat > 0; --repeat) lengths[i++] = value;
        if (m_bits.overrun()) return inputError();
    }
    if (m_bits.overrun()) return inputError();
    if (lengths[256] == 0) return error("the block has no end-of-block code");
    if (!m_literals.build(std::span(lengths).first(nlit)))
        return error("over-subscribed literal/length code");
    if (!m_distances.build(std::span(lengths).subspan(nlit, ndist)))
        return error("over-subscribed distance code");
    return State::Codes;
}

}  // namespace

std::unique_ptr<Decoder> makeDeflate64Decoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<Deflate64Decoder>(params, source);
}

}  // namespace archive
