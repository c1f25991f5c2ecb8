#include "archive/archive_file.h"

namespace archive {

bool ArchiveFile::open(const std::string& path) {
    close();
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr) return false;
    if (std::fseek(m_file, 0, SEEK_END) != 0) {
        close();
        return false;
    }
    const long end = std::ftell(m_file);
    m_size = end < 0 ? 0 : static_cast<std::uint64_t>(end);
    m_pos = m_size;
    return true;
}

void ArchiveFile::close() {
    if (m_file != nullptr) std::fclose(m_file);
    m_file = nullptr;
    m_size = 0;
}

std::size_t ArchiveFile::readAt(std::uint64_t offset, std::span<std::byte> buf) {
    if (m_file == nullptr || offset >= m_size) return 0;
    if (offset != m_pos) {
        if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0) return 0;
        m_pos = offset;
    }
    const std::size_t n = std::fread(buf.data(), 1, buf.size(), m_file);
    m_pos += n;
    if (n < buf.size()) {
        std::clearerr(m_file);
        m_pos = ~std::uint64_t{0};  // unknown after a short read: seek next time
    }
    return n;
}

std::vector<std::byte> ArchiveFile::readExact(std::uint64_t offset, std::size_t length) {
    std::vector<std::byte> out(length);
    if (readAt(offset, out) != length) return {};
    return out;
}

core::Result<std::size_t, DecodeError> EntryDataSource::read(std::span<std::byte> buf) {
    if (m_left == 0 || buf.empty()) return std::size_t{0};
    if (buf.size() > m_left) buf = buf.first(static_cast<std::size_t>(m_left));
    const std::size_t n = m_file.readAt(m_pos, buf);
    m_pos += n;
    m_left = n == 0 ? 0 : m_left - n;
    return n;
}

}  // namespace archive
