// Method 12: bzip2 through libbz2. Some writers concatenate several bzip2 streams in one entry,
// so a stream end with output still due starts the next stream.
#include <bzlib.h>

#include <string>

#include "archive/decoders/library_input.h"
#include "bench/library_decoders.h"

namespace archive {

namespace {

class Bzip2Decoder final : public Decoder {
  public:
    Bzip2Decoder(const DecoderParams& p, ByteSource& s) : m_left(p.uncompressedSize), m_in(s) {
        m_ok = BZ2_bzDecompressInit(&m_bz, 0, 0) == BZ_OK;
    }
    ~Bzip2Decoder() override {
        if (m_ok) BZ2_bzDecompressEnd(&m_bz);
    }

    core::Result<std::size_t, DecodeError> read(std::span<std::byte> out) override {
        if (!m_ok) return core::fail(DecodeError{"Cannot start the bzip2 decoder"});
        if (m_left == 0 || out.empty()) return std::size_t{0};
        if (out.size() > m_left) out = out.first(static_cast<std::size_t>(m_left));
        m_bz.next_out = reinterpret_cast<char*>(out.data());
        m_bz.avail_out = static_cast<unsigned>(out.size());
        while (m_bz.avail_out == out.size()) {
            DecodeError err;
            if (!m_in.refill(m_bz.avail_in, err)) return core::fail(err);
            if (m_bz.avail_in == 0 && !m_in.exhausted()) {
                m_bz.next_in = reinterpret_cast<char*>(m_in.data());
                m_bz.avail_in = static_cast<unsigned>(m_in.filled());
            }
            if (m_bz.avail_in == 0 && m_in.exhausted())
                return core::fail(DecodeError{"Unexpected end of bzip2 data"});
            const int rc = BZ2_bzDecompress(&m_bz);
            if (rc == BZ_STREAM_END) {
                if (!restart()) return core::fail(DecodeError{"Cannot start the bzip2 decoder"});
                if (m_bz.avail_out != out.size()) break;
                continue;
            }
            if (rc != BZ_OK)
                return core::fail(
                    DecodeError{"Invalid bzip2 data (error " + std::to_string(rc) + ")"});
        }
        const std::size_t n = out.size() - m_bz.avail_out;
        m_left -= n;
        return n;
    }

  private:
    // A fresh stream state that keeps the unconsumed input and the output window.
    bool restart() {
        bz_stream next{};
        next.next_in = m_bz.next_in;
        next.avail_in = m_bz.avail_in;
        next.next_out = m_bz.next_out;
        next.avail_out = m_bz.avail_out;
        BZ2_bzDecompressEnd(&m_bz);
        m_bz = next;
        m_ok = BZ2_bzDecompressInit(&m_bz, 0, 0) == BZ_OK;
        return m_ok;
    }

    std::uint64_t m_left;
    LibraryInput m_in;
    bz_stream m_bz{};
    bool m_ok = false;
};

}  // namespace

std::unique_ptr<Decoder> makeLibraryBzip2Decoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<Bzip2Decoder>(params, source);
}

}  // namespace archive
