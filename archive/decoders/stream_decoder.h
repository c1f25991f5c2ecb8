// StreamDecoder: the part every method's decoder shares: it stops at the entry's uncompressed
// size and turns a stream that ends before that size into an error, never a short file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "archive/decoders/decoder.h"

namespace archive {

class StreamDecoder : public Decoder {
  public:
    StreamDecoder(std::string methodName, std::uint64_t uncompressedSize)
        : m_name(std::move(methodName)), m_size(uncompressedSize) {}

    core::Result<std::size_t, DecodeError> read(std::span<std::byte> out) final;

  protected:
    // Fills up to out.size() bytes (never asked for more than the entry still lacks); 0 means the
    // method's own stream has ended.
    virtual core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) = 0;

    // An error value whose message names the method: "Deflate64: <what>".
    core::Unexpected<DecodeError> error(const std::string& what) const {
        return core::fail(DecodeError{m_name + ": " + what});
    }
    std::uint64_t produced() const { return m_produced; }

  private:
    std::string m_name;
    std::uint64_t m_size;
    std::uint64_t m_produced = 0;
};

}  // namespace archive
