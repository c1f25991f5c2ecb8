// libFuzzer target: every reader of the MySQL server's packets (handshake, OK, error,
// end-of-data, column definition, column count, row) over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "db/packet_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    db::readServerPacketForFuzzing(std::as_bytes(std::span(data, size)));
    return 0;
}
