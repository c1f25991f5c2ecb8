// Method 0: the data is the file, exactly its uncompressed size of it.
#include "archive/decoders/methods.h"

namespace archive {

namespace {

class StoredDecoder final : public Decoder {
  public:
    StoredDecoder(const DecoderParams& p, ByteSource& s)
        : m_left(p.uncompressedSize), m_source(s) {}

    core::Result<std::size_t, DecodeError> read(std::span<std::byte> out) override {
        if (m_left == 0 || out.empty()) return std::size_t{0};
        if (out.size() > m_left) out = out.first(static_cast<std::size_t>(m_left));
        auto n = m_source.read(out);
        if (!n) return n;
        if (*n == 0) return core::fail(DecodeError{"Stored data shorter than its size"});
        m_left -= *n;
        return *n;
    }

  private:
    std::uint64_t m_left;
    ByteSource& m_source;
};

}  // namespace

std::unique_ptr<Decoder> makeStoredDecoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<StoredDecoder>(params, source);
}

}  // namespace archive
