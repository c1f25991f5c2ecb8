#include "archive/archive_file.h"

#include <limits>

namespace archive {

namespace {
constexpr std::uint64_t kMaxOffset = std::numeric_limits<std::int64_t>::max();
}

core::Result<void, host::FileError> ArchiveFile::open(const std::string& path) {
    close();
    auto file = host::DataFile::open(path, host::FileMode::Read);
    if (!file) return core::fail(file.error());
    auto size = file->size();
    if (!size) return core::fail(size.error());
    m_file = std::move(*file);
    m_size = static_cast<std::uint64_t>(*size);
    return core::Ok{};
}

void ArchiveFile::close() {
    m_file.close();
    m_size = 0;
}

core::Result<std::size_t, host::FileError> ArchiveFile::read(std::uint64_t offset,
                                                             std::span<std::byte> buf) const {
    if (!m_file.isOpen() || offset >= m_size || offset > kMaxOffset) return std::size_t{0};
    return m_file.readAt(static_cast<std::int64_t>(offset), buf);
}

std::size_t ArchiveFile::readAt(std::uint64_t offset, std::span<std::byte> buf) const {
    auto n = read(offset, buf);
    return n ? *n : 0;
}

std::vector<std::byte> ArchiveFile::readExact(std::uint64_t offset, std::size_t length) const {
    std::vector<std::byte> out(length);
    if (readAt(offset, out) != length) return {};
    return out;
}

core::Result<std::size_t, DecodeError> EntryDataSource::read(std::span<std::byte> buf) {
    if (m_left == 0 || buf.empty()) return std::size_t{0};
    if (buf.size() > m_left) buf = buf.first(static_cast<std::size_t>(m_left));
    auto got = m_file.read(m_pos, buf);
    if (!got) return core::fail(DecodeError{"Cannot read the archive: " + got.error().text});
    const std::size_t n = *got;
    m_pos += n;
    m_left = n == 0 ? 0 : m_left - n;
    return n;
}

}  // namespace archive
