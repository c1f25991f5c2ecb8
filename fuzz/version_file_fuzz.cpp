// Arbitrary bytes as a version file, as its signature file and as both cut apart: the readers
// give a value or a refusal, never a crash, and never accept what the key did not sign.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/trust_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!trustfuzz::allHold(std::string_view(reinterpret_cast<const char*>(data), size)))
        std::abort();
    return 0;
}
