// Fuzz target: the statement reader (ends; statements are ordered stretches of the script).
#include "fuzz/db_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!dbfuzz::splitHolds(std::string_view(reinterpret_cast<const char*>(data), size)))
        __builtin_trap();
    return 0;
}
