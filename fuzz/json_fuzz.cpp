// The run report's reader (--only-failed reads a file anyone could have edited) on any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/json_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!jsonfuzz::jsonHolds(std::string_view(reinterpret_cast<const char*>(data), size)))
        std::abort();
    return 0;
}
