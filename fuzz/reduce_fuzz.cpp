// Fuzz target: the reduce decoder (methods 2-5, the factor taken from the flags byte).
#include "archive/decoders/reduce.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0) fuzzing::runDecoder(archive::makeReduceDecoder, 2 + (data[0] & 3), data, size);
    return 0;
}
