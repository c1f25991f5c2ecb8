// Arbitrary bytes as an HTTP response: the reader must give a value or an error value, never
// crash, hang or read out of bounds. The first byte sets where the input is cut into pieces.
#include <cstddef>
#include <cstdint>

#include "fuzz/http_response_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::fuzzHttpResponse({reinterpret_cast<const std::byte*>(data), size});
    return 0;
}
