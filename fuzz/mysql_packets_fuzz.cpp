// libFuzzer target: every reader of the MySQL server's packets (handshake, OK, error,
// end-of-data, column definition, column count, row) over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/mysql_packets_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::readServerPacket(std::as_bytes(std::span(data, size)));
    return 0;
}
