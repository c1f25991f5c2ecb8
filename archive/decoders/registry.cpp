// makeDecoder: the method number chooses the decoder. Methods without a case here are not
// supported and their entries fail with "unsupported compression method".
#include "archive/decoders/methods.h"
#include "archive/decoders/registry_ext.h"

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
        case 1:
            return makeShrinkDecoder(params, source);
        case 2:
        case 3:
        case 4:
        case 5:
            return makeReduceDecoder(params, source);
        case 6:
            return makeImplodeDecoder(params, source);
        case 9:
            return makeDeflate64Decoder(params, source);
        case 97:
            return makeWavPackDecoder(params, source);
        case 98:
            return makePpmdDecoder(params, source);
        default:
            return nullptr;
    }
}

}  // namespace archive
