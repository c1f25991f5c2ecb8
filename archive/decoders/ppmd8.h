// Method 98, PPMd version I revision 1: a 2-byte parameter word (order, memory, restoration
// method) and then the range-coded symbols of a PPMd var.I model, up to its end mark.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makePpmdDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
