// Methods 12 and 14 through libbz2 and liblzma behind the decoder interface: the peers our own
// decoders are timed against (the program itself uses only ours).
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeLibraryBzip2Decoder(const DecoderParams& params, ByteSource& source);
std::unique_ptr<Decoder> makeLibraryLzmaDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
