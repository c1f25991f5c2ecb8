// The compressed bytes a library decoder has not consumed yet, refilled from the entry's
// ByteSource in blocks; the zlib, libbz2 and liblzma decoders share it.
#pragma once

#include <array>
#include <cstddef>

#include "archive/decoders/decoder.h"

namespace archive {

class LibraryInput {
  public:
    static constexpr std::size_t kSize = 64 * 1024;

    explicit LibraryInput(ByteSource& source) : m_source(source) {}
    // Refills when everything was consumed; false with `error` set when the source failed.
    // exhausted() tells whether the compressed data has ended.
    bool refill(std::size_t unconsumed, DecodeError& error) {
        if (unconsumed > 0 || m_exhausted) return true;
        auto n = m_source.read(std::span<std::byte>(m_data));
        if (!n) {
            error = n.error();
            return false;
        }
        m_filled = *n;
        if (m_filled == 0) m_exhausted = true;
        return true;
    }
    bool exhausted() const { return m_exhausted; }
    std::byte* data() { return m_data.data(); }
    std::size_t filled() const { return m_filled; }

  private:
    ByteSource& m_source;
    std::array<std::byte, kSize> m_data{};
    std::size_t m_filled = 0;
    bool m_exhausted = false;
};

}  // namespace archive
