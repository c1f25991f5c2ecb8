// Method 14: LZMA (APPNOTE 5.8.8). The data starts with a 4-byte header (LZMA SDK version major
// and minor, properties size) and the properties (lc/lp/pb byte and 32-bit dictionary size);
// then a raw LZMA1 stream for liblzma. Flag bit 1 says the stream ends with an end-of-stream
// marker; without it the stream just stops after the uncompressed size.
#include <lzma.h>

#include <array>
#include <cstdlib>
#include <string>

#include "archive/decoders/library_input.h"
#include "bench/library_decoders.h"
#include "core/byte_cursor.h"

namespace archive {

namespace {

// A dictionary larger than this is refused rather than allocated (7-Zip's largest is 1.5 GiB;
// what ZIP writers use is 64 MiB at most).
constexpr std::uint32_t kMaxDictionary = 256U << 20;

class LzmaDecoder final : public Decoder {
  public:
    LzmaDecoder(const DecoderParams& p, ByteSource& s)
        : m_left(p.uncompressedSize), m_source(s), m_in(s) {}
    ~LzmaDecoder() override { lzma_end(&m_z); }

    core::Result<std::size_t, DecodeError> read(std::span<std::byte> out) override {
        if (!m_started) {
            auto started = start();
            if (!started) return core::fail(started.error());
        }
        if (m_done || m_left == 0 || out.empty()) return std::size_t{0};
        if (out.size() > m_left) out = out.first(static_cast<std::size_t>(m_left));
        m_z.next_out = reinterpret_cast<std::uint8_t*>(out.data());
        m_z.avail_out = out.size();
        while (m_z.avail_out == out.size()) {
            DecodeError err;
            if (!m_in.refill(m_z.avail_in, err)) return core::fail(err);
            if (m_z.avail_in == 0 && !m_in.exhausted()) {
                m_z.next_in = reinterpret_cast<const std::uint8_t*>(m_in.data());
                m_z.avail_in = m_in.filled();
            }
            const lzma_ret rc = lzma_code(&m_z, LZMA_RUN);
            if (rc == LZMA_STREAM_END) {
                m_done = true;
                break;
            }
            if (rc == LZMA_BUF_ERROR || (rc == LZMA_OK && m_z.avail_in == 0 && m_in.exhausted() &&
                                         m_z.avail_out == out.size()))
                return core::fail(DecodeError{"Unexpected end of LZMA data"});
            if (rc != LZMA_OK)
                return core::fail(
                    DecodeError{"Invalid LZMA data (error " + std::to_string(rc) + ")"});
        }
        const std::size_t n = out.size() - m_z.avail_out;
        m_left -= n;
        return n;
    }

  private:
    core::Result<void, DecodeError> start() {
        m_started = true;
        std::array<std::byte, 9> head{};
        std::size_t got = 0;
        while (got < head.size()) {
            auto n = m_source.read(std::span<std::byte>(head).subspan(got));
            if (!n) return core::fail(n.error());
            if (*n == 0) return core::fail(DecodeError{"Unexpected end of LZMA data"});
            got += *n;
        }
        core::ByteCursor c(head);
        c.skip(2);  // the SDK version that wrote it
        if (c.u16le() != 5) return core::fail(DecodeError{"Unsupported LZMA properties"});
        const auto props = c.bytes(5);
        core::ByteCursor dict(props.subspan(1));
        if (dict.u32le() > kMaxDictionary)
            return core::fail(DecodeError{"LZMA dictionary too large"});
        lzma_filter filter{LZMA_FILTER_LZMA1, nullptr};
        if (lzma_properties_decode(&filter, nullptr,
                                   reinterpret_cast<const std::uint8_t*>(props.data()),
                                   5) != LZMA_OK)
            return core::fail(DecodeError{"Invalid LZMA properties"});
        const std::array<lzma_filter, 2> chain{filter, lzma_filter{LZMA_VLI_UNKNOWN, nullptr}};
        const lzma_ret rc = lzma_raw_decoder(&m_z, chain.data());
        free(filter.options);  // liblzma allocated the options with malloc and copied them
        if (rc != LZMA_OK) return core::fail(DecodeError{"Cannot start the LZMA decoder"});
        return core::Ok{};
    }

    std::uint64_t m_left;
    ByteSource& m_source;
    LibraryInput m_in;
    lzma_stream m_z = LZMA_STREAM_INIT;
    bool m_started = false;
    bool m_done = false;
};

}  // namespace

std::unique_ptr<Decoder> makeLibraryLzmaDecoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<LzmaDecoder>(params, source);
}

}  // namespace archive
