// Method 14: LZMA, decoded by our own code. The entry's data starts with the ZIP LZMA header
// (APPNOTE 5.8.8): 2 bytes the SDK version that wrote it, 2 bytes the properties' size (5),
// then the 5 properties bytes and the raw LZMA stream.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeOwnLzmaDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
