// Method 12: bzip2, our own decoder (Huffman-coded move-to-front of the Burrows-Wheeler
// transform, a final run-length stage, block and stream CRCs).
// Format notes (bzip2's stream layout, most significant bit first):
// - a stream: "BZh" and a digit 1-9 (the block size in units of 100000 bytes), its blocks,
//   then the end mark; a further stream may start at the next byte boundary;
// - a block: the 48-bit magic 0x314159265359, the 32-bit CRC of the block's output, then the
//   block itself (Bzip2Block);
// - the end mark: the 48-bit magic 0x177245385090 and the 32-bit stream CRC, the blocks' CRCs
//   folded together (Bzip2Crc::combine);
// - a block's bytes are run-length coded: four equal bytes are followed by a count byte
//   (0-255) of further copies of that byte.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "archive/decoders/bzip2_block.h"
#include "archive/decoders/bzip2_crc.h"
#include "archive/decoders/methods.h"
#include "archive/decoders/msb_bit_reader.h"
#include "archive/decoders/padded_input.h"
#include "archive/decoders/stream_decoder.h"

namespace archive {
namespace {

constexpr std::uint64_t kBlockMagic = 0x314159265359;
constexpr std::uint64_t kEndMagic = 0x177245385090;
constexpr unsigned kNoByte = 256;  // the "previous byte" at a block's start

std::string hex8(std::uint32_t v) {
    char s[9];
    std::snprintf(s, sizeof s, "%08x", v);
    return s;
}

class Bzip2Decoder final : public StreamDecoder {
  public:
    Bzip2Decoder(const DecoderParams& params, ByteSource& source)
        : StreamDecoder("bzip2", params.uncompressedSize), m_input(source), m_bits(m_input) {}

  protected:
    core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) override;

  private:
    enum class State { StreamHeader, BlockHeader, Output, Done };

    core::Result<State, DecodeError> readStreamHeader();
    core::Result<State, DecodeError> readBlockHeader();
    core::Result<State, DecodeError> endBlock();
    std::size_t emit(std::uint8_t* out, std::size_t room);
    core::Unexpected<DecodeError> inputError() {
        if (m_input.sourceError()) return core::fail(*m_input.sourceError());
        return error("the compressed data ends early");
    }

    PaddedInput m_input;
    MsbBitReader m_bits;
    Bzip2Block m_block;
    State m_state = State::StreamHeader;
    bool m_firstStream = true;
    unsigned m_blockSize = 0;
    std::uint32_t m_blockCrc = 0;   // as stored
    std::uint32_t m_streamCrc = 0;  // computed over the blocks so far
    Bzip2Crc m_crc;                 // of the current block's output
    // The run-length stage over the block's bytes.
    const std::uint8_t* m_pos = nullptr;
    const std::uint8_t* m_end = nullptr;
    unsigned m_last = kNoByte;
    unsigned m_run = 0;     // equal bytes in a row so far (a count byte follows the fourth)
    unsigned m_repeat = 0;  // copies of m_last still to write
};

core::Result<std::size_t, DecodeError> Bzip2Decoder::produce(std::span<std::byte> out) {
    auto* const bytes = reinterpret_cast<std::uint8_t*>(out.data());
    std::size_t n = 0;
    while (n < out.size()) {
        core::Result<State, DecodeError> next = m_state;
        switch (m_state) {
            case State::StreamHeader:
                next = readStreamHeader();
                break;
            case State::BlockHeader:
                next = readBlockHeader();
                break;
            case State::Output:
                n += emit(bytes + n, out.size() - n);
                if (m_pos == m_end && m_repeat == 0) next = endBlock();
                break;
            case State::Done:
                return n;
        }
        if (!next) return core::fail(next.error());
        m_state = *next;
    }
    // The entry may end with its last block: check that block's CRC now.
    if (m_state == State::Output && m_pos == m_end && m_repeat == 0) {
        auto next = endBlock();
        if (!next) return core::fail(next.error());
        m_state = *next;
    }
    return n;
}

core::Result<Bzip2Decoder::State, DecodeError> Bzip2Decoder::readStreamHeader() {
    if (!m_firstStream && m_bits.atEnd()) return State::Done;
    const std::uint32_t magic = m_bits.bits(24);
    const std::uint32_t level = m_bits.bits(8);
    if (m_bits.overrun()) return inputError();
    if (magic != 0x425A68 || level < '1' || level > '9')
        return error(m_firstStream ? "the data does not start with a stream header (BZh1-BZh9)"
                                   : "the data after a stream is not another stream");
    m_firstStream = false;
    m_blockSize = level - '0';
    m_streamCrc = 0;
    return State::BlockHeader;
}

core::Result<Bzip2Decoder::State, DecodeError> Bzip2Decoder::readBlockHeader() {
    const std::uint64_t magic = std::uint64_t{m_bits.bits(24)} << 24 | m_bits.bits(24);
    const std::uint32_t crc = m_bits.bits(32);
    if (m_bits.overrun()) return inputError();
    if (magic == kEndMagic) {
        if (crc != m_streamCrc)
            return error("stream CRC mismatch (stored " + hex8(crc) + ", computed " +
                         hex8(m_streamCrc) + ")");
        m_bits.alignToByte();
        return State::StreamHeader;
    }
    if (magic != kBlockMagic) return error("bad block header");
    if (auto r = m_block.read(m_bits, m_blockSize); !r) {
        if (m_input.sourceError()) return core::fail(*m_input.sourceError());
        return error(r.error());
    }
    m_blockCrc = crc;
    m_crc = Bzip2Crc();
    m_pos = m_block.data();
    m_end = m_pos + m_block.size();
    m_last = kNoByte;
    m_run = 0;
    m_repeat = 0;
    return State::Output;
}

core::Result<Bzip2Decoder::State, DecodeError> Bzip2Decoder::endBlock() {
    const std::uint32_t crc = m_crc.value();
    if (crc != m_blockCrc)
        return error("block CRC mismatch (stored " + hex8(m_blockCrc) + ", computed " + hex8(crc) +
                     ")");
    m_streamCrc = Bzip2Crc::combine(m_streamCrc, crc);
    return State::BlockHeader;
}

// The run-length stage, from the block's bytes into out; the CRC follows what was written.
std::size_t Bzip2Decoder::emit(std::uint8_t* const out, std::size_t room) {
    std::uint8_t* o = out;
    std::uint8_t* const end = out + room;
    const std::uint8_t* s = m_pos;
    const std::uint8_t* const last = m_end;
    unsigned prev = m_last, run = m_run, repeat = m_repeat;
    while (o < end) {
        if (repeat != 0) {
            const auto k = static_cast<unsigned>(std::min<std::size_t>(repeat, end - o));
            std::memset(o, static_cast<int>(prev), k);
            o += k;
            repeat -= k;
            continue;
        }
        if (s == last) break;
        const unsigned b = *s++;
        if (run == 4) {
            repeat = b;
            run = 0;
            continue;
        }
        run = b == prev ? run + 1 : 1;
        prev = b;
        *o++ = static_cast<std::uint8_t>(b);
    }
    m_pos = s;
    m_last = prev;
    m_run = run;
    m_repeat = repeat;
    m_crc.update(out, static_cast<std::size_t>(o - out));
    return static_cast<std::size_t>(o - out);
}

}  // namespace

std::unique_ptr<Decoder> makeBzip2Decoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<Bzip2Decoder>(params, source);
}

}  // namespace archive
