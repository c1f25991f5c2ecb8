// The one piece-wise source of the stream tests: a reproducible sequence of piece sizes, and a
// text cut into pieces of those sizes, so that parsers see their input cut anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace testsupport {

// Sizes from 1 to `maxPiece`, drawn from a generator seeded with `seed`; the same seed gives the
// same sizes on every platform. maxPiece 1 gives byte after byte.
class PieceSizes {
  public:
    PieceSizes(std::size_t maxPiece, unsigned seed) : m_max(maxPiece), m_state(seed) {}
    std::size_t next();

  private:
    std::size_t m_max;
    std::uint64_t m_state;
};

// `all` cut into pieces of PieceSizes(maxPiece, seed), in order; they join to `all`.
std::vector<std::string_view> cutIntoPieces(std::string_view all, std::size_t maxPiece,
                                            unsigned seed);

}  // namespace testsupport
