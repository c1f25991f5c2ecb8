// Fuzz target: our LZMA decoder (method 14). Its window is never larger than the entry, so
// the 1 MiB the fuzz layout's size allows bounds each run whatever the dictionary says.
#include "archive/decoders/methods.h"
#include "fuzz/decoder_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runDecoder(archive::makeLzmaDecoder, 14, data, size);
    return 0;
}
