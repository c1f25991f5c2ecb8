#include "tests/support/pieces.h"

#include <algorithm>

namespace testsupport {

// splitmix64: small, well mixed, and the same everywhere (std:: distributions are not).
std::size_t PieceSizes::next() {
    if (m_max <= 1) return 1;
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    return 1 + static_cast<std::size_t>(z % m_max);
}

std::vector<std::string_view> cutIntoPieces(std::string_view all, std::size_t maxPiece,
                                            unsigned seed) {
    std::vector<std::string_view> out;
    PieceSizes sizes(maxPiece, seed);
    for (std::size_t pos = 0; pos < all.size();) {
        const std::size_t n = std::min(sizes.next(), all.size() - pos);
        out.push_back(all.substr(pos, n));
        pos += n;
    }
    return out;
}

}  // namespace testsupport
