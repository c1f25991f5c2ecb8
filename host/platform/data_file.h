// A file written at positions, for downloads and extraction: open for writing, set its size
// (so a known length is claimed once), write, and cut back. Failures carry errno and its text.
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

enum class FileMode { CreateTruncate, OpenExisting };

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
    // Writes all of `data` at `offset` (looping over partial writes).
    core::Result<void, FileError> writeAt(std::int64_t offset, std::span<const std::byte> data);
    void close();

  private:
    explicit DataFile(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

}  // namespace host
