// Fuzz target: the method-9 decoder on arbitrary compressed bytes.
#include "archive/decoders/deflate64.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runDecoder(archive::makeDeflate64Decoder, 9, data, size);
    return 0;
}
