// Fuzz target: the PPMd decoder; the parameter word's memory field is kept to 1-4 MiB so that
// each run stays fast and memory runs out (the restoration paths) sooner.
#include <vector>

#include "archive/decoders/ppmd8.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> in(data, data + size);
    if (in.size() > 4) in[3] &= 0x3F, in[4] &= 0xF0;
    fuzzing::runDecoder(archive::makePpmdDecoder, 98, in.data(), in.size());
    return 0;
}
