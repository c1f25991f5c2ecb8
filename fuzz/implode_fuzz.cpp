// Fuzz target: the method-6 decoder on arbitrary compressed bytes.
#include "archive/decoders/implode.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runDecoder(archive::makeImplodeDecoder, 6, data, size);
    return 0;
}
