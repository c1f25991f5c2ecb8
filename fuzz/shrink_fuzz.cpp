// Fuzz target: the method-1 decoder on arbitrary compressed bytes.
#include "archive/decoders/shrink.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runDecoder(archive::makeShrinkDecoder, 1, data, size);
    return 0;
}
