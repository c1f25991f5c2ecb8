// Fuzz target: the MySQL lexer (round trip; failure only on a control character).
#include "fuzz/db_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!dbfuzz::lexerHolds(std::string_view(reinterpret_cast<const char*>(data), size)))
        __builtin_trap();
    return 0;
}
