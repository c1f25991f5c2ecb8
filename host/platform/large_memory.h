// LargeMemory: a big zero-filled block for a structure read at random (the PPMd model's arena),
// on huge pages where the system offers them, since page-table misses cost much otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

namespace host {

class LargeMemory {
  public:
    LargeMemory() = default;
    // size bytes, zero-filled; data() is null when the memory is not available.
    explicit LargeMemory(std::size_t size);
    ~LargeMemory();
    LargeMemory(LargeMemory&& other) noexcept;
    LargeMemory& operator=(LargeMemory&& other) noexcept;
    LargeMemory(const LargeMemory&) = delete;
    LargeMemory& operator=(const LargeMemory&) = delete;

    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

  private:
    void release();

    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;    // what the caller asked for
    std::size_t m_mapped = 0;  // what is mapped (whole huge pages)
};

}  // namespace host
