// The whole extractor over arbitrary bytes, for the fuzz target and the test that replays the
// inputs it found: the bytes become an archive file, which is opened and extracted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// Writes the bytes to `workDir`/input.qlzip and extracts it into `workDir`/out (emptied first);
// failures of the archive are expected and swallowed. Returns the number of failed entries, or
// -1 when the archive did not open.
int extractBytesForFuzzing(const std::uint8_t* data, std::size_t size, const std::string& workDir);

}  // namespace fuzzing
