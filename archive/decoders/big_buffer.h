// BigBuffer: the memory of a decoder's large tables (the LZMA window, bzip2's block links).
// Big ones go on huge pages, which spare the page-table misses of reading them at random;
// small ones come from the heap, since each huge page costs 2 MiB of zeroing to start with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "host/platform/large_memory.h"

namespace archive {

class BigBuffer {
  public:
    static constexpr std::size_t kHugeFrom = 4u << 20;

    // At least `bytes` bytes (contents undefined); false when the memory is not available.
    // A buffer that is big enough already is kept.
    bool reserve(std::size_t bytes) {
        if (bytes <= m_size) return true;
        m_large = host::LargeMemory();
        m_small.reset();
        m_size = 0;
        if (bytes >= kHugeFrom) {
            m_large = host::LargeMemory(bytes);
            m_data = m_large.data();
        } else {
            m_small.reset(new (std::nothrow) std::uint8_t[bytes]);
            m_data = m_small.get();
        }
        if (m_data) m_size = bytes;
        return m_data != nullptr;
    }
    std::uint8_t* data() const { return m_data; }

  private:
    host::LargeMemory m_large;
    std::unique_ptr<std::uint8_t[]> m_small;
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

}  // namespace archive
