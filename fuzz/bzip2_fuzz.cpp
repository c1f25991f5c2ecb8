// Fuzz target: our bzip2 decoder (method 12).
#include "archive/decoders/methods.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runDecoder(archive::makeBzip2Decoder, 12, data, size);
    return 0;
}
