// Method 8: raw Deflate (RFC 1951) through zlib's inflate with a negative window size, which
// tells zlib there is no zlib header or trailer.
#include <zlib.h>

#include "archive/decoders/library_input.h"
#include "archive/decoders/methods.h"

namespace archive {

namespace {

class DeflateDecoder final : public Decoder {
  public:
    DeflateDecoder(const DecoderParams& p, ByteSource& s) : m_left(p.uncompressedSize), m_in(s) {
        m_ok = inflateInit2(&m_z, -MAX_WBITS) == Z_OK;
    }
    ~DeflateDecoder() override {
        if (m_ok) inflateEnd(&m_z);
    }

    core::Result<std::size_t, DecodeError> read(std::span<std::byte> out) override {
        if (!m_ok) return core::fail(DecodeError{"Cannot start the Deflate decoder"});
        if (m_done || m_left == 0 || out.empty()) return std::size_t{0};
        if (out.size() > m_left) out = out.first(static_cast<std::size_t>(m_left));
        m_z.next_out = reinterpret_cast<Bytef*>(out.data());
        m_z.avail_out = static_cast<uInt>(out.size());
        while (m_z.avail_out == out.size()) {
            DecodeError err;
            if (!m_in.refill(m_z.avail_in, err)) return core::fail(err);
            if (m_z.avail_in == 0 && !m_in.exhausted()) {
                m_z.next_in = reinterpret_cast<Bytef*>(m_in.data());
                m_z.avail_in = static_cast<uInt>(m_in.filled());
            }
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) {
                m_done = true;
                break;
            }
            if (rc == Z_BUF_ERROR && m_in.exhausted() && m_z.avail_in == 0)
                return core::fail(DecodeError{"Unexpected end of Deflate data"});
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                return core::fail(DecodeError{std::string("Invalid Deflate data: ") +
                                              (m_z.msg ? m_z.msg : "error")});
        }
        const std::size_t n = out.size() - m_z.avail_out;
        m_left -= n;
        return n;
    }

  private:
    std::uint64_t m_left;
    LibraryInput m_in;
    z_stream m_z{};
    bool m_ok = false;
    bool m_done = false;
};

}  // namespace

std::unique_ptr<Decoder> makeDeflateDecoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<DeflateDecoder>(params, source);
}

}  // namespace archive
