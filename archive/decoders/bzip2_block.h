// Bzip2Block: one bzip2 block from just after its 48-bit magic and CRC to the undone
// Burrows-Wheeler transform, that is the block's bytes before the final run-length stage.
// It keeps its buffers from block to block: at most 10 bytes per byte of block size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/decoders/msb_bit_reader.h"
#include "core/result.h"
#include "host/platform/large_memory.h"

namespace archive {

class Bzip2Block {
  public:
    // Reads the block of a stream whose header named blockSize x 100000 bytes (1-9) and undoes
    // its transform. The error is a message without the "bzip2: " prefix.
    core::Result<void, std::string> read(MsbBitReader& in, unsigned blockSize);

    // The block's bytes, still run-length coded in fours (valid after a successful read).
    const std::uint8_t* data() const { return m_bytes; }
    std::size_t size() const { return m_size; }

  private:
    struct Tables;
    core::Result<void, std::string> readSymbols(MsbBitReader& reader, const Tables& t);
    core::Result<void, std::string> readTables(MsbBitReader& in, Tables& t);
    void undoTransform();

    // The walks through the rows read at random: on huge pages the page-table misses stay few.
    host::LargeMemory m_memory;
    std::size_t m_capacity = 0;
    std::uint32_t* m_next = nullptr;  // per row: the next row << 8 | its first byte
    std::uint32_t* m_prev = nullptr;  // per row: the previous row << 8 | its last byte
    std::uint8_t* m_bytes = nullptr;  // the last column, then the block's bytes
    std::uint32_t m_counts[256] = {};
    std::size_t m_size = 0;
    std::uint32_t m_origin = 0;  // the row of the unrotated block
};

}  // namespace archive
