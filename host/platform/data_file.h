// A file read or written at positions, for downloads and extraction: open, set its size (so a
// known length is claimed once), read or write at an offset, and cut back. Offsets are 64-bit
// on every system. Failures carry the system's error as a std::error_code and its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>

#include "core/result.h"
#include "host/platform/native_handle.h"

namespace host {

struct FileError {
    // The system's error (errno on POSIX, GetLastError on Windows); compare it with std::errc.
    std::error_code code;
    std::string text;  // the system's text for it
};

enum class FileMode {
    CreateTruncate,  // write: a new empty file, replacing one of the same name
    OpenExisting,    // write: an existing file, kept as it is
    ReadOnly,        // read: an existing file
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

    bool isOpen() const { return m_handle != kNoHandle; }
    core::Result<std::int64_t, FileError> size() const;
    core::Result<void, FileError> resize(std::int64_t size);
    // Writes all of `data` at `offset` (looping over partial writes).
    core::Result<void, FileError> writeAt(std::int64_t offset, std::span<const std::byte> data);
    // Reads up to data.size() bytes at `offset`; fewer only at the end of the file.
    core::Result<std::size_t, FileError> readAt(std::int64_t offset, std::span<std::byte> data);
    void close();

  private:
    explicit DataFile(NativeHandle handle) : m_handle(handle) {}
    NativeHandle m_handle = kNoHandle;
};

}  // namespace host
