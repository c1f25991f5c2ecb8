// Arbitrary bytes as a "Set-Cookie" value, a "Set-Cookie2" list and a cookie date.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/cookie_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::checkCookieText({reinterpret_cast<const char*>(data), size});
    return 0;
}
