// Fuzz target: the method-97 decoder on arbitrary compressed bytes.
#include "archive/decoders/wavpack.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runDecoder(archive::makeWavPackDecoder, 97, data, size);
    return 0;
}
