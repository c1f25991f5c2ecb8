// Fuzz target: our bzip2 decoder (method 12). A first stream's block size is kept at 100k so
// that each run stays fast (a block of any size costs its size to undo).
#include <vector>

#include "archive/decoders/methods.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> in(data, data + size);
    if (in.size() > 6 && in[6] > '1' && in[6] <= '9') in[6] = '1';  // "BZh9" -> "BZh1"
    fuzzing::runDecoder(archive::makeBzip2Decoder, 12, in.data(), in.size());
    return 0;
}
