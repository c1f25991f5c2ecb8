// Method 1, shrinking (PKZIP 0.9-1.x): LZW with codes of 9 to 13 bits, where code 256 followed
// by 1 widens the codes and followed by 2 frees every code that is no other code's prefix.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeShrinkDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
