// Method 12: bzip2, decoded by our own code (Huffman-coded move-to-front of the
// Burrows-Wheeler transform, a final run-length stage, block and stream CRCs). Several
// streams may follow one another in one entry.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeOwnBzip2Decoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
