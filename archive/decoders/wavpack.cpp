// The entry's bytes are the blocks of a .wv file ("wvpk" block headers). With OPEN_WRAPPER the
// library hands back the original file's header (the RIFF chunks up to the data) as stored in
// the first block, and once the audio is unpacked, the bytes that followed the data chunk.
// Between the two come the samples in the file's own layout: little-endian, 8-bit unsigned.
#include "archive/decoders/wavpack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "archive/decoders/stream_decoder.h"

#if __has_include(<wavpack/wavpack.h>)
#include <wavpack/wavpack.h>
#define QL_HAVE_WAVPACK 1
#endif

namespace archive {
namespace {

#ifdef QL_HAVE_WAVPACK

// The reader callbacks libwavpack pulls the compressed bytes through: sequential only.
struct SourceReader {
    ByteSource* source;
    std::int64_t pos = 0;
    int pushedBack = -1;
    std::optional<DecodeError> error;

    static SourceReader& of(void* id) { return *static_cast<SourceReader*>(id); }

    static std::int32_t readBytes(void* id, void* data, std::int32_t count) {
        SourceReader& r = of(id);
        auto* out = static_cast<std::byte*>(data);
        std::int32_t n = 0;
        if (count > 0 && r.pushedBack >= 0) {
            out[n++] = std::byte(static_cast<unsigned char>(r.pushedBack));
            r.pushedBack = -1;
        }
        while (n < count && !r.error) {
            auto got = r.source->read(std::span(out + n, static_cast<std::size_t>(count - n)));
            if (!got) {
                r.error = got.error();
                break;
            }
            if (*got == 0) break;
            n += static_cast<std::int32_t>(*got);
        }
        r.pos += n;
        return n;
    }
    static std::int32_t writeBytes(void*, void*, std::int32_t) { return 0; }
    static std::int64_t getPos(void* id) { return of(id).pos; }
    static int setPosAbs(void*, std::int64_t) { return -1; }
    static int setPosRel(void*, std::int64_t, int) { return -1; }
    static int pushBackByte(void* id, int c) {
        SourceReader& r = of(id);
        if (r.pushedBack >= 0 || r.pos == 0) return EOF;
        r.pushedBack = c;
        --r.pos;
        return c;
    }
    static std::int64_t getLength(void*) { return 0; }
    static int canSeek(void*) { return 0; }
    static int truncateHere(void*) { return -1; }
    static int close(void*) { return 0; }
};

class WavPackDecoder final : public StreamDecoder {
  public:
    WavPackDecoder(const DecoderParams& params, ByteSource& source)
        : StreamDecoder("WavPack", params.uncompressedSize) {
        m_reader.source = &source;
        m_callbacks = {SourceReader::readBytes,    SourceReader::writeBytes,
                       SourceReader::getPos,       SourceReader::setPosAbs,
                       SourceReader::setPosRel,    SourceReader::pushBackByte,
                       SourceReader::getLength,    SourceReader::canSeek,
                       SourceReader::truncateHere, SourceReader::close};
    }
    ~WavPackDecoder() override {
        if (m_context) WavpackCloseFile(m_context);
    }

  protected:
    core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) override;

  private:
    // What the decoder hands out next: the header, the samples, the trailer, then the end.
    enum class Stage { Open, Samples, Trailer, Done };

    core::Result<core::Ok, DecodeError> open();
    core::Result<core::Ok, DecodeError> refill();
    void takeWrapper() {
        const std::uint32_t n = WavpackGetWrapperBytes(m_context);
        const unsigned char* data = WavpackGetWrapperData(m_context);
        if (n > 0 && data != nullptr) m_pending.insert(m_pending.end(), data, data + n);
        WavpackFreeWrapper(m_context);
    }
    core::Unexpected<DecodeError> sourceOr(const std::string& what) {
        if (m_reader.error) return core::fail(*m_reader.error);
        return error(what);
    }

    SourceReader m_reader;
    WavpackStreamReader64 m_callbacks{};
    WavpackContext* m_context = nullptr;
    Stage m_stage = Stage::Open;
    int m_channels = 0;
    int m_bytesPerSample = 0;
    int m_qualify = 0;
    bool m_float = false;
    std::vector<std::int32_t> m_samples;
    std::vector<std::uint8_t> m_pending;
    std::size_t m_pendingPos = 0;
};

core::Result<core::Ok, DecodeError> WavPackDecoder::open() {
    char message[81] = {};
    m_context =
        WavpackOpenFileInputEx64(&m_callbacks, &m_reader, nullptr, message, OPEN_WRAPPER, 0);
    if (m_context == nullptr) return sourceOr(std::string("cannot open the stream: ") + message);
    m_channels = WavpackGetNumChannels(m_context);
    m_bytesPerSample = WavpackGetBytesPerSample(m_context);
    m_qualify = WavpackGetQualifyMode(m_context);
    m_float = (WavpackGetMode(m_context) & MODE_FLOAT) != 0;
    if (m_channels <= 0 || m_bytesPerSample < 1 || m_bytesPerSample > 4)
        return error("unusable stream layout");
    if (m_qualify & (QMODE_DSD_AUDIO | QMODE_REORDERED_CHANS))
        return error("DSD audio and reordered channels are not supported");
    const std::size_t frames =
        std::max<std::size_t>(1, 16384 / static_cast<std::size_t>(m_channels));
    m_samples.resize(frames * static_cast<std::size_t>(m_channels));
    takeWrapper();
    return core::Ok{};
}

core::Result<core::Ok, DecodeError> WavPackDecoder::refill() {
    m_pending.clear();
    m_pendingPos = 0;
    const auto frames =
        static_cast<std::uint32_t>(m_samples.size() / static_cast<std::size_t>(m_channels));
    const std::uint32_t got = WavpackUnpackSamples(m_context, m_samples.data(), frames);
    if (WavpackGetNumErrors(m_context) > 0) return sourceOr("corrupt audio block");
    if (got == 0) {
        takeWrapper();  // the bytes after the data chunk, stored with the last block
        m_stage = Stage::Trailer;
        return core::Ok{};
    }
    const std::size_t count = std::size_t{got} * static_cast<std::size_t>(m_channels);
    const auto bps = static_cast<unsigned>(m_bytesPerSample);
    const bool bigEndian = (m_qualify & QMODE_BIG_ENDIAN) != 0;
    // WAV keeps 8-bit samples unsigned and wider ones signed; the qualify bits note the opposite.
    std::uint32_t offset = 0;
    if (!m_float) {
        if (bps == 1 && !(m_qualify & QMODE_SIGNED_BYTES)) offset = 0x80;
        if (bps > 1 && (m_qualify & QMODE_UNSIGNED_WORDS)) offset = 1u << (8 * bps - 1);
    }
    m_pending.resize(count * bps);
    std::uint8_t* p = m_pending.data();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t v = static_cast<std::uint32_t>(m_samples[i]) + offset;
        for (unsigned b = 0; b < bps; ++b) {
            const unsigned shift = 8 * (bigEndian ? bps - 1 - b : b);
            *p++ = static_cast<std::uint8_t>(v >> shift);
        }
    }
    return core::Ok{};
}

core::Result<std::size_t, DecodeError> WavPackDecoder::produce(std::span<std::byte> out) {
    std::size_t n = 0;
    while (n < out.size()) {
        if (m_pendingPos < m_pending.size()) {
            const std::size_t k = std::min(out.size() - n, m_pending.size() - m_pendingPos);
            std::memcpy(out.data() + n, m_pending.data() + m_pendingPos, k);
            m_pendingPos += k;
            n += k;
            continue;
        }
        switch (m_stage) {
            case Stage::Open: {
                auto r = open();
                if (!r) return core::fail(r.error());
                m_stage = Stage::Samples;
                break;
            }
            case Stage::Samples: {
                auto r = refill();
                if (!r) return core::fail(r.error());
                break;
            }
            case Stage::Trailer:
                m_stage = Stage::Done;
                break;
            case Stage::Done:
                return n;
        }
    }
    return n;
}

#endif

}  // namespace

// Without libwavpack (the Windows build: Debian has no Windows libwavpack) method 97 is a
// method this build does not support, reported as every unsupported method is.
std::unique_ptr<Decoder> makeWavPackDecoder(const DecoderParams& params, ByteSource& source) {
#ifdef QL_HAVE_WAVPACK
    return std::make_unique<WavPackDecoder>(params, source);
#else
    (void)params;
    (void)source;
    return nullptr;
#endif
}

}  // namespace archive
