// Method 97, WavPack: the entry holds a plain WavPack stream of the original audio file; libwavpack
// decodes it and the file is rebuilt from the stored wrapper (RIFF header, trailer) and samples.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeWavPackDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
