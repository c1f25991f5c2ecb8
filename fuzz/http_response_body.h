// The body of the HTTP response fuzz target, shared with the unit test that replays the inputs
// kept in tests/regressions/http_response/.
#pragma once

#include <cstddef>
#include <span>

namespace fuzzing {

// Reads `input` as a response (after its first byte, which chooses the piece size) both
// whole and in pieces, and checks that both ways agree and that a close never ends a head.
void fuzzHttpResponse(std::span<const std::byte> input);

}  // namespace fuzzing
