// Methods 2 to 5, reducing with compression factors 1 to 4 (PKZIP 0.9): bytes coded through
// per-byte follower sets, then a DLE-escaped run/copy expansion over a window of up to 4 KiB.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeReduceDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
