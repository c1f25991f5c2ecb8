// A build without libbz2 and liblzma (Windows): BZip2 and LZMA entries are of a method this
// build does not support, and fail as every unsupported method does.
#include "archive/decoders/methods.h"

namespace archive {

std::unique_ptr<Decoder> makeBzip2Decoder(const DecoderParams&, ByteSource&) {
    return nullptr;
}

std::unique_ptr<Decoder> makeLzmaDecoder(const DecoderParams&, ByteSource&) {
    return nullptr;
}

}  // namespace archive
