// The one small interface every compression method's decoder implements: it pulls compressed
// bytes from a ByteSource and hands out decoded bytes, never more than the entry's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/result.h"

namespace archive {

struct DecodeError {
    std::string message;  // the decoder's text, shown as the entry's failure
};

// The compressed data of one entry: exactly its compressed size, then the end (read gives 0).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to buf.size() bytes; 0 means the compressed data is exhausted.
    virtual core::Result<std::size_t, DecodeError> read(std::span<std::byte> buf) = 0;
};

struct DecoderParams {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;  // general purpose bit flags (implode reads bits 1 and 2)
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

class Decoder {
public:
    virtual ~Decoder() = default;
    // Fills up to out.size() bytes of decoded data; 0 means the entry is complete. A decoder
    // stops at params.uncompressedSize even when its stream would go on.
    virtual core::Result<std::size_t, DecodeError> read(std::span<std::byte> out) = 0;
};

// The decoder for a method, or nullptr when the method is not supported.
std::unique_ptr<Decoder> makeDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
