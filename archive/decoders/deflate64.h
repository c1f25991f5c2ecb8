// Method 9, "enhanced deflating" (Deflate64): RFC 1951 with a 64 KiB window, length code 285
// carrying 16 extra bits, and distance codes 30 and 31. zlib does not decode it; this does.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeDeflate64Decoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
