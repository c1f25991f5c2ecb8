// The body of the MySQL packet fuzz target: the first byte chooses the reader and the protocol
// flags, the rest is the payload; the values read are checked for consistency.
#pragma once

#include <cstddef>
#include <span>

namespace fuzzing {

void readServerPacket(std::span<const std::byte> data);

}  // namespace fuzzing
