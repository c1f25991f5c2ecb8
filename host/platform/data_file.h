// A file read or written at positions, for downloads, archives and extraction: open it, set its
// size (so a known length is claimed once), read or write, and cut back. Failures carry the
// system's error number and its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/result.h"

namespace host {

struct FileError {
    int code = 0;
    std::string text;
};

enum class FileMode {
    CreateTruncate,  // write; made when missing, emptied when present
    OpenExisting,    // write an existing file
    CreateNew,       // write a file that must not exist yet: fails on anything in its place,
                     // a symbolic link included (never followed)
    Read,            // read an existing file; others may go on reading and writing it
};

class DataFile {
  public:
    DataFile() = default;
    ~DataFile();
    DataFile(DataFile&& other) noexcept;
    DataFile& operator=(DataFile&& other) noexcept;
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    static core::Result<DataFile, FileError> open(const std::string& path, FileMode mode);

    bool isOpen() const { return m_fd >= 0; }
    core::Result<std::int64_t, FileError> size() const;
    core::Result<void, FileError> resize(std::int64_t size);
    // Reads up to buf.size() bytes at `offset`; fewer only at the end of the file.
    core::Result<std::size_t, FileError> readAt(std::int64_t offset,
                                                std::span<std::byte> buf) const;
    // Writes all of `data` at `offset` (looping over partial writes).
    core::Result<void, FileError> writeAt(std::int64_t offset, std::span<const std::byte> data);
    void close();

  private:
    explicit DataFile(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

}  // namespace host
