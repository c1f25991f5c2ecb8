#include "host/platform/data_file.h"

#include <windows.h>

#include <algorithm>

#include "host/win32/wide.h"

namespace host {

namespace {

FileError lastFileError() {
    const DWORD e = GetLastError();
    return FileError{std::error_code(static_cast<int>(e), std::system_category()),
                     win32::systemMessage(e)};
}

HANDLE handleOf(NativeHandle h) {
    return reinterpret_cast<HANDLE>(h);
}

OVERLAPPED at(std::int64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return o;
}

// One call moves at most this much, below what a DWORD count can say.
constexpr std::size_t kMaxChunk = 1u << 30;

}  // namespace

DataFile::~DataFile() {
    close();
}

DataFile::DataFile(DataFile&& other) noexcept : m_handle(other.m_handle) {
    other.m_handle = kNoHandle;
}

DataFile& DataFile::operator=(DataFile&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        other.m_handle = kNoHandle;
    }
    return *this;
}

core::Result<DataFile, FileError> DataFile::open(const std::string& path, FileMode mode) {
    DWORD access = GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    switch (mode) {
        case FileMode::CreateTruncate:
            disposition = CREATE_ALWAYS;
            break;
        case FileMode::OpenExisting:
            break;
        case FileMode::CreateNew:
            // CREATE_NEW fails on anything of that name; a reparse point is not followed.
            disposition = CREATE_NEW;
            flags |= FILE_FLAG_OPEN_REPARSE_POINT;
            break;
        case FileMode::Read:
            access = GENERIC_READ;
            break;
    }
    // Others may read and write the file meanwhile, as with a POSIX descriptor.
    HANDLE h = CreateFileW(win32::toWide(path).c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return core::fail(lastFileError());
    return DataFile(reinterpret_cast<NativeHandle>(h));
}

core::Result<std::int64_t, FileError> DataFile::size() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handleOf(m_handle), &size)) return core::fail(lastFileError());
    return static_cast<std::int64_t>(size.QuadPart);
}

core::Result<void, FileError> DataFile::resize(std::int64_t size) {
    FILE_END_OF_FILE_INFO eof{};
    eof.EndOfFile.QuadPart = size;
    if (!SetFileInformationByHandle(handleOf(m_handle), FileEndOfFileInfo, &eof, sizeof eof))
        return core::fail(lastFileError());
    return core::Ok{};
}

core::Result<void, FileError> DataFile::writeAt(std::int64_t offset,
                                                std::span<const std::byte> data) {
    while (!data.empty()) {
        OVERLAPPED o = at(offset);
        const DWORD want = static_cast<DWORD>(std::min(data.size(), kMaxChunk));
        DWORD done = 0;
        if (!WriteFile(handleOf(m_handle), data.data(), want, &done, &o))
            return core::fail(lastFileError());
        data = data.subspan(done);
        offset += done;
    }
    return core::Ok{};
}

core::Result<std::size_t, FileError> DataFile::readAt(std::int64_t offset,
                                                      std::span<std::byte> data) const {
    std::size_t total = 0;
    while (total < data.size()) {
        OVERLAPPED o = at(offset + static_cast<std::int64_t>(total));
        const DWORD want = static_cast<DWORD>(std::min(data.size() - total, kMaxChunk));
        DWORD done = 0;
        if (!ReadFile(handleOf(m_handle), data.data() + total, want, &done, &o)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return core::fail(lastFileError());
        }
        if (done == 0) break;
        total += done;
    }
    return total;
}

void DataFile::close() {
    if (m_handle != kNoHandle) {
        CloseHandle(handleOf(m_handle));
        m_handle = kNoHandle;
    }
}

}  // namespace host
