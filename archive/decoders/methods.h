// The decoder of each compression method, one file per method; makeDecoder (registry.cpp)
// chooses among them by the method number.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeStoredDecoder(const DecoderParams& params, ByteSource& source);   // 0
std::unique_ptr<Decoder> makeDeflateDecoder(const DecoderParams& params, ByteSource& source);  // 8
std::unique_ptr<Decoder> makeBzip2Decoder(const DecoderParams& params, ByteSource& source);    // 12
std::unique_ptr<Decoder> makeLzmaDecoder(const DecoderParams& params, ByteSource& source);     // 14

}  // namespace archive
