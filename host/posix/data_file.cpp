#include "host/platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace host {

namespace {

FileError lastError() {
    const int e = errno;
    return FileError{std::error_code(e, std::system_category()), std::strerror(e)};
}

int fd(NativeHandle h) {
    return static_cast<int>(h);
}

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

namespace {

int openFlags(FileMode mode) {
    switch (mode) {
        case FileMode::CreateTruncate:
            return O_WRONLY | O_CREAT | O_TRUNC;
        case FileMode::OpenExisting:
            return O_WRONLY;
        case FileMode::CreateNew:
            // O_EXCL: fails when the name exists, even as a dangling link.
            return O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        case FileMode::Read:
            return O_RDONLY;
    }
    return O_RDONLY;
}

}  // namespace

core::Result<DataFile, FileError> DataFile::open(const std::string& path, FileMode mode) {
    const int f = ::open(path.c_str(), openFlags(mode) | O_CLOEXEC, 0666);
    if (f < 0) return core::fail(lastError());
    return DataFile(f);
}

core::Result<std::int64_t, FileError> DataFile::size() const {
    struct stat st {};
    if (::fstat(fd(m_handle), &st) != 0) return core::fail(lastError());
    return static_cast<std::int64_t>(st.st_size);
}

core::Result<void, FileError> DataFile::resize(std::int64_t size) {
    if (::ftruncate(fd(m_handle), static_cast<off_t>(size)) != 0) return core::fail(lastError());
    return core::Ok{};
}

core::Result<void, FileError> DataFile::writeAt(std::int64_t offset,
                                                std::span<const std::byte> data) {
    while (!data.empty()) {
        const ssize_t n =
            ::pwrite(fd(m_handle), data.data(), data.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return core::fail(lastError());
        }
        data = data.subspan(static_cast<std::size_t>(n));
        offset += n;
    }
    return core::Ok{};
}

core::Result<std::size_t, FileError> DataFile::readAt(std::int64_t offset,
                                                      std::span<std::byte> data) const {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pread(fd(m_handle), data.data() + done, data.size() - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return core::fail(lastError());
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void DataFile::close() {
    if (m_handle != kNoHandle) {
        ::close(fd(m_handle));
        m_handle = kNoHandle;
    }
}

}  // namespace host
