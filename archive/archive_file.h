// The open archive file, read at given offsets, and the compressed data of one entry as the
// ByteSource its decoder pulls from.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/decoders/decoder.h"
#include "host/platform/data_file.h"

namespace archive {

class ArchiveFile {
  public:
    // Opens for reading; the failure's number and text when the file cannot be opened.
    core::Result<void, host::FileError> open(const std::string& path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    std::uint64_t size() const { return m_size; }
    // Reads up to buf.size() bytes at `offset`; fewer only at the end of the file.
    core::Result<std::size_t, host::FileError> read(std::uint64_t offset,
                                                    std::span<std::byte> buf) const;
    // The same with a failed read taken as the end of the file (for the content tests).
    std::size_t readAt(std::uint64_t offset, std::span<std::byte> buf) const;
    // Exactly `length` bytes at `offset`, or an empty vector.
    std::vector<std::byte> readExact(std::uint64_t offset, std::size_t length) const;

  private:
    host::DataFile m_file;
    std::uint64_t m_size = 0;
};

// `length` bytes of the archive from `offset`, then the end. Bytes missing from the file read as
// the end too, which the decoder reports as data shorter than its size.
class EntryDataSource final : public ByteSource {
  public:
    EntryDataSource(const ArchiveFile& file, std::uint64_t offset, std::uint64_t length)
        : m_file(file), m_pos(offset), m_left(length) {}
    core::Result<std::size_t, DecodeError> read(std::span<std::byte> buf) override;

  private:
    const ArchiveFile& m_file;
    std::uint64_t m_pos;
    std::uint64_t m_left;
};

}  // namespace archive
