#include "archive/decoders/stream_decoder.h"

#include <algorithm>

namespace archive {

core::Result<std::size_t, DecodeError> StreamDecoder::read(std::span<std::byte> out) {
    const std::uint64_t left = m_size - m_produced;
    if (left == 0 || out.empty()) return std::size_t{0};
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, out.size()));
    auto got = produce(out.first(want));
    if (!got) return got;
    if (*got == 0)
        return error("the compressed data ends after " + std::to_string(m_produced) + " of " +
                     std::to_string(m_size) + " bytes");
    m_produced += *got;
    return got;
}

}  // namespace archive
