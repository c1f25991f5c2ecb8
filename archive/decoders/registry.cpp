// makeDecoder: the method number chooses the decoder. Methods without a case here are not
// supported and their entries fail with "unsupported compression method".
#include "archive/decoders/methods.h"

namespace archive {

std::unique_ptr<Decoder> makeDecoder(const DecoderParams& params, ByteSource& source) {
    switch (params.method) {
        case 0:
            return makeStoredDecoder(params, source);
        case 8:
            return makeDeflateDecoder(params, source);
        case 12:
            return makeBzip2Decoder(params, source);
        case 14:
            return makeLzmaDecoder(params, source);
        default:
            return nullptr;
    }
}

}  // namespace archive
