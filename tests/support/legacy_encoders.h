// Test-only encoders for the PKZIP 1.x methods that no Debian tool writes (shrink, reduce,
// implode), built from the APPNOTE's definitions to reach corners real archives miss.
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

struct ShrinkOptions {
    // Also emit a partial clear every this many codes (0: only when the table is full).
    unsigned clearEvery = 0;
};
// Method 1: LZW, 9 to 13 bits, with code-size escapes and partial clears.
std::string shrinkEncode(const std::string& data, const ShrinkOptions& options = {});

// Methods 2-5 (factor 1-4). Byte c gets a follower set of (c + setSizeShift) % 33 entries, so
// every set size from 0 to 32 occurs.
std::string reduceEncode(const std::string& data, unsigned factor, unsigned setSizeShift = 0);

// Method 6 with general purpose flags: bit 1 (8 KiB window) and bit 2 (literal tree).
std::string implodeEncode(const std::string& data, std::uint16_t flags);

}  // namespace testsupport
