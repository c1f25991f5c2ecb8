// Method 14: LZMA, our own decoder. The entry's data starts with the ZIP LZMA header
// (APPNOTE 5.8.8): 2 bytes the SDK version that wrote it, 2 bytes the properties' size (5),
// the 5 properties bytes, then the raw stream for LzmaCore; this file reads the header, keeps
// the input with its zero tail and hands out the window as output. Flag bit 1 announces an
// end-of-stream marker; with or without it, decoding stops at the entry's size (a marker right
// there is not read), and a marker before that size ends the data early.
#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/decoders/lzma_core.h"
#include "archive/decoders/methods.h"
#include "archive/decoders/padded_input.h"
#include "archive/decoders/stream_decoder.h"

namespace archive {
namespace {

// A dictionary larger than this is refused rather than allocated (7-Zip's largest is 1.5 GiB;
// what ZIP writers use is 64 MiB at most).
constexpr std::uint32_t kMaxDictionary = 256u << 20;
constexpr std::size_t kHeaderBytes = 4 + 5 + LzmaCore::kStartBytes;

class LzmaDecoder final : public StreamDecoder {
  public:
    LzmaDecoder(const DecoderParams& params, ByteSource& source)
        : StreamDecoder("LZMA", params.uncompressedSize),
          m_size(params.uncompressedSize),
          m_input(source) {}

  protected:
    core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) override;

  private:
    core::Result<void, DecodeError> start();
    core::Result<void, DecodeError> decodeMore(std::size_t want);

    std::uint64_t m_size;
    PaddedInput m_input;
    std::optional<LzmaCore> m_core;
    std::size_t m_handedOut = 0;  // window bytes already copied out
    bool m_ended = false;         // the end marker was seen
};

core::Result<void, DecodeError> LzmaDecoder::start() {
    if (auto r = m_input.fill(kHeaderBytes); !r) return r;
    if (m_input.available() < kHeaderBytes) return error("the compressed data ends early");
    const std::uint8_t* h = m_input.data();
    const unsigned propsSize = h[2] | unsigned{h[3]} << 8;
    if (propsSize != 5)
        return error("the properties are " + std::to_string(propsSize) + " bytes, not 5");
    const auto props = LzmaProperties::parse(h + 4);
    if (!props) return error("invalid lc/lp/pb properties byte " + std::to_string(h[4]));
    if (props->dictionary > kMaxDictionary)
        return error("a dictionary of " + std::to_string(props->dictionary) +
                     " bytes is above the limit of 256 MiB");
    // The window needs the dictionary, or the whole output when that is smaller.
    const std::size_t window = static_cast<std::size_t>(std::max<std::uint64_t>(
        1, std::min<std::uint64_t>(std::max(props->dictionary, 4096u), m_size)));
    m_core.emplace(*props, window);
    if (!m_core->ok())
        return error("cannot get the window's " + std::to_string(window >> 20) + " MiB of memory");
    if (!m_core->start(h + 9)) return error("invalid start of the range-coded data");
    m_input.advanceTo(h + kHeaderBytes);
    return core::Ok{};
}

// Decodes up to `want` more bytes into the window (fewer at its end).
core::Result<void, DecodeError> LzmaDecoder::decodeMore(std::size_t want) {
    LzmaCore& core = *m_core;
    if (core.position() == core.windowSize()) {
        core.wrap();
        m_handedOut = 0;
    }
    const std::size_t limit = core.position() + std::min(want, core.windowSize() - core.position());
    while (core.position() < limit) {
        // More than one symbol's worth, so that the decoder can always start one.
        if (auto r = m_input.fill(LzmaCore::kMaxSymbolBytes + 1); !r) return r;
        static_assert(PaddedInput::kPad >= LzmaCore::kMaxSymbolBytes + 1);
        // With the data complete, symbols may start anywhere up to its end: bytes read past it
        // are zeros from the tail and make the position pass the end, which the check after
        // the call sees.
        const std::uint8_t* in = m_input.data();
        const std::uint8_t* inLimit =
            m_input.ended() ? m_input.dataEnd() + 1 : m_input.dataEnd() - LzmaCore::kMaxSymbolBytes;
        const LzmaCore::Status status = core.decode(limit, in, inLimit);
        if (m_input.ended() && in > m_input.dataEnd())
            return error("the compressed data ends early");
        m_input.advanceTo(in);
        switch (status) {
            case LzmaCore::Status::Ok:
                break;
            case LzmaCore::Status::EndMark:
                m_ended = true;
                return core::Ok{};
            case LzmaCore::Status::Corrupt:
                return error(core.problem());
        }
    }
    return core::Ok{};
}

core::Result<std::size_t, DecodeError> LzmaDecoder::produce(std::span<std::byte> out) {
    if (!m_core) {
        if (auto r = start(); !r) return core::fail(r.error());
    }
    std::size_t n = 0;
    while (n < out.size()) {
        const std::size_t ready = m_core->position() - m_handedOut;
        if (ready > 0) {
            const std::size_t k = std::min(ready, out.size() - n);
            std::memcpy(out.data() + n, m_core->window() + m_handedOut, k);
            m_handedOut += k;
            n += k;
            continue;
        }
        if (m_ended) break;
        if (auto r = decodeMore(out.size() - n); !r) return core::fail(r.error());
    }
    return n;
}

}  // namespace

std::unique_ptr<Decoder> makeLzmaDecoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<LzmaDecoder>(params, source);
}

}  // namespace archive
