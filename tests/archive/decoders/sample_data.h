// Test inputs that reach a compressor's corners: text, incompressible bytes, long runs (the
// longest matches) and repeats from far back (the largest distances).
#pragma once

#include <cstddef>
#include <string>

namespace testsupport {

std::string mixedSample(std::size_t size, unsigned seed);

}  // namespace testsupport
