// A file read or written at positions, for downloads, archives and extraction: open it, set its
// size (so a known length is claimed once), read or write, and cut back. Offsets are 64-bit on
// every system. Failures carry the system's error as a std::error_code and its text.
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

    bool isOpen() const { return m_handle != kNoHandle; }
    core::Result<std::int64_t, FileError> size() const;
    core::Result<void, FileError> resize(std::int64_t size);
    // Reads up to buf.size() bytes at `offset`; fewer only at the end of the file.
    core::Result<std::size_t, FileError> readAt(std::int64_t offset,
                                                std::span<std::byte> buf) const;
    // Writes all of `data` at `offset` (looping over partial writes).
    core::Result<void, FileError> writeAt(std::int64_t offset, std::span<const std::byte> data);
    void close();

  private:
    explicit DataFile(NativeHandle handle) : m_handle(handle) {}
    NativeHandle m_handle = kNoHandle;
};

}  // namespace host
