// Method 6, imploding (PKZIP 1.x): a 4 KiB or 8 KiB sliding dictionary whose literals, lengths
// and distances are coded with 2 or 3 Shannon-Fano trees, as general purpose bits 1 and 2 say.
#pragma once

#include <memory>

#include "archive/decoders/decoder.h"

namespace archive {

std::unique_ptr<Decoder> makeImplodeDecoder(const DecoderParams& params, ByteSource& source);

}  // namespace archive
