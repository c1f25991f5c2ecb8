// Methods 12 and 14: our own decoders, or libbz2 and liblzma where the build keeps them.
#include "archive/decoders/bzip2_decoder.h"
#include "archive/decoders/lzma_decoder.h"
#include "archive/decoders/methods.h"
#if !QL_OWN_BZIP2_LZMA
#include "archive/decoders/library_decoders.h"
#endif

namespace archive {

std::unique_ptr<Decoder> makeBzip2Decoder(const DecoderParams& params, ByteSource& source) {
#if QL_OWN_BZIP2_LZMA
    return makeOwnBzip2Decoder(params, source);
#else
    return makeLibraryBzip2Decoder(params, source);
#endif
}

std::unique_ptr<Decoder> makeLzmaDecoder(const DecoderParams& params, ByteSource& source) {
#if QL_OWN_BZIP2_LZMA
    return makeOwnLzmaDecoder(params, source);
#else
    return makeLibraryLzmaDecoder(params, source);
#endif
}

}  // namespace archive
