// Methods 12 and 14 through the system's libbz2 and liblzma, for builds that keep them
// (QL_OWN_BZIP2_LZMA off); our own decoders are in bzip2_decoder.h and lzma_decoder.h.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeLibraryBzip2Decoder(const DecoderParams& params, ByteSource& source);
std::unique_ptr<Decoder> makeLibraryLzmaDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
