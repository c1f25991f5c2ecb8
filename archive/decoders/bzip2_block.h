// Bzip2Block: one bzip2 block from just after its 48-bit magic and CRC to the undone
// Burrows-Wheeler transform, that is the block's bytes before the final run-length stage.
// It keeps its buffers from block to block: the block size in bytes, and 8 bytes per byte
// the block turns out to hold.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/decoders/big_buffer.h"
#include "archive/decoders/msb_bit_reader.h"
#include "core/result.h"

namespace archive {

class Bzip2Block {
  public:
    // Reads the block of a stream whose header named blockSize x 100000 bytes (1-9) and undoes
    // its transform. The error is a message without the "bzip2: " prefix.
    core::Result<void, std::string> read(MsbBitReader& in, unsigned blockSize);

    // The block's bytes, still run-length coded in fours (valid after a successful read).
    const std::uint8_t* data() const { return m_bytes.get(); }
    std::size_t size() const { return m_size; }

  private:
    struct Tables;
    core::Result<void, std::string> readSymbols(MsbBitReader& reader, const Tables& t);
    core::Result<void, std::string> readTables(MsbBitReader& in, Tables& t);
    bool undoTransform();

    std::size_t m_capacity = 0;               // the stream's block size
    std::unique_ptr<std::uint8_t[]> m_bytes;  // the last column, then the block's bytes
    BigBuffer m_links;                        // two tables of a 32-bit link per row, read at random
    std::uint32_t m_counts[256] = {};
    std::size_t m_size = 0;
    std::uint32_t m_origin = 0;  // the row of the unrotated block
};

}  // namespace archive
