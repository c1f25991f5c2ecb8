// The CRC-32 of bzip2's block and stream checks: polynomial 0x04C11DB7 taken most significant
// bit first (not reflected, unlike the ZIP CRC), initial value all ones, final inversion.
#pragma once

#include <cstddef>
#include <cstdint>

namespace archive {

class Bzip2Crc {
  public:
    void update(const std::uint8_t* data, std::size_t size);
    std::uint32_t value() const { return ~m_crc; }

    // bzip2's stream check: the block CRCs folded in order, each after a 1-bit left rotation.
    static std::uint32_t combine(std::uint32_t streamCrc, std::uint32_t blockCrc) {
        return ((streamCrc << 1) | (streamCrc >> 31)) ^ blockCrc;
    }

  private:
    std::uint32_t m_crc = 0xFFFFFFFFu;
};

}  // namespace archive
