// The open archive file, read at given offsets, and the compressed data of one entry as the
// ByteSource its decoder pulls from.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "archive/decoders/decoder.h"

namespace archive {

class ArchiveFile {
  public:
    ArchiveFile() = default;
    ~ArchiveFile() { close(); }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    std::uint64_t size() const { return m_size; }
    // Reads up to buf.size() bytes at `offset`; fewer only at the end of the file or on error.
    std::size_t readAt(std::uint64_t offset, std::span<std::byte> buf);
    // Exactly `length` bytes at `offset`, or an empty vector.
    std::vector<std::byte> readExact(std::uint64_t offset, std::size_t length);

  private:
    std::FILE* m_file = nullptr;
    std::uint64_t m_size = 0;
    std::uint64_t m_pos = 0;  // where the stream stands, to skip needless seeks
};

// `length` bytes of the archive from `offset`, then the end. Bytes missing from the file read as
// the end too, which the decoder reports as data shorter than its size.
class EntryDataSource final : public ByteSource {
  public:
    EntryDataSource(ArchiveFile& file, std::uint64_t offset, std::uint64_t length)
        : m_file(file), m_pos(offset), m_left(length) {}
    core::Result<std::size_t, DecodeError> read(std::span<std::byte> buf) override;

  private:
    ArchiveFile& m_file;
    std::uint64_t m_pos;
    std::uint64_t m_left;
};

}  // namespace archive
