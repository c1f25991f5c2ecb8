#include "net/stream.h"

#include <algorithm>
#include <cstring>

#include "net/id_exceptions.h"

namespace net {

namespace {
// A claimed size is only a hint for memory: it is not allocated ahead beyond this, so a
// length a server announces cannot make the client reserve memory it never receives.
constexpr std::size_t kMaxMemoryReserve = 64 * 1024 * 1024;
}  // namespace

namespace {
[[noreturn]] void tooLarge(std::size_t limit) {
    throw EStreamError("Memory stream limit of " + std::to_string(limit) + " bytes exceeded.");
}
}  // namespace

void MemoryStream::SetSize(std::int64_t size) {
    if (m_overflow == Overflow::Fail && size > static_cast<std::int64_t>(m_limit))
        tooLarge(m_limit);
    m_size = std::max<std::int64_t>(size, 0);
    const auto kept = static_cast<std::size_t>(
        std::min<std::int64_t>(m_size, static_cast<std::int64_t>(m_limit)));
    if (kept < m_data.size())
        m_data.resize(kept);
    else
        m_data.reserve(std::min(kept, kMaxMemoryReserve));
    m_pos = std::min(m_pos, m_size);
}

void MemoryStream::Write(std::span<const std::byte> data) {
    const auto pos = static_cast<std::size_t>(m_pos);
    if (m_overflow == Overflow::Fail && data.size() > m_limit - std::min(pos, m_limit))
        tooLarge(m_limit);
    if (pos < m_limit) {
        const std::size_t keep = std::min(data.size(), m_limit - pos);
        if (m_data.size() < pos + keep) m_data.resize(pos + keep);
        std::memcpy(m_data.data() + pos, data.data(), keep);
    }
    m_pos += static_cast<std::int64_t>(data.size());
    m_size = std::max(m_size, m_pos);
}

FileStream::FileStream(const std::string& path) : m_path(path) {
    auto f = host::DataFile::open(path, host::FileMode::CreateTruncate);
    if (!f) throw EStreamError("Cannot create file \"" + path + "\". " + f.error().text);
    m_file = std::move(*f);
}

FileStream::FileStream(const std::string& path, KeepContent) : m_path(path) {
    auto f = host::DataFile::open(path, host::FileMode::OpenExisting);
    if (!f) f = host::DataFile::open(path, host::FileMode::CreateTruncate);
    if (!f) throw EStreamError("Cannot create file \"" + path + "\". " + f.error().text);
    m_file = std::move(*f);
    auto size = m_file.size();
    if (!size) throw EStreamError("Cannot read the size of \"" + path + "\". " + size.error().text);
    m_size = m_pos = *size;
}

void FileStream::SetSize(std::int64_t size) {
    if (auto r = m_file.resize(size); !r)
        throw EStreamError("Cannot set the size of \"" + m_path + "\". " + r.error().text);
    m_size = size;
    m_pos = std::min(m_pos, m_size);
}

void FileStream::Write(std::span<const std::byte> data) {
    if (auto r = m_file.writeAt(m_pos, data); !r)
        throw EStreamError("Stream write error on \"" + m_path + "\". " + r.error().text);
    m_pos += static_cast<std::int64_t>(data.size());
    m_size = std::max(m_size, m_pos);
}

}  // namespace net
