#include "core/byte_cursor.h"

#include <algorithm>

namespace core {

bool ByteCursor::need(std::size_t n) {
    if (m_failed) return false;
    if (remaining() >= n) return true;
    setError("short read at offset " + std::to_string(m_pos) + " (wanted " + std::to_string(n) +
             " bytes, have " + std::to_string(remaining()) + ")");
    return false;
}

void ByteCursor::setError(const std::string& why) {
    if (m_failed) return;
    m_failed = true;
    m_error = why;
}

std::uint8_t ByteCursor::u8() {
    if (!need(1)) return 0;
    return std::to_integer<std::uint8_t>(m_data[m_pos++]);
}

std::optional<std::uint8_t> ByteCursor::peek() const {
    if (m_failed || atEnd()) return std::nullopt;
    return std::to_integer<std::uint8_t>(m_data[m_pos]);
}

namespace {
std::uint64_t readLe(std::span<const std::byte> b) {
    std::uint64_t v = 0;
    for (std::size_t i = b.size(); i-- > 0;) v = (v << 8) | std::to_integer<std::uint64_t>(b[i]);
    return v;
}
std::uint64_t readBe(std::span<const std::byte> b) {
    std::uint64_t v = 0;
    for (std::byte x : b) v = (v << 8) | std::to_integer<std::uint64_t>(x);
    return v;
}
}  // namespace

std::uint16_t ByteCursor::u16le() { return static_cast<std::uint16_t>(readLe(bytes(2))); }
std::uint32_t ByteCursor::u24le() { return static_cast<std::uint32_t>(readLe(bytes(3))); }
std::uint32_t ByteCursor::u32le() { return static_cast<std::uint32_t>(readLe(bytes(4))); }
std::uint64_t ByteCursor::u64le() { return readLe(bytes(8)); }
std::uint16_t ByteCursor::u16be() { return static_cast<std::uint16_t>(readBe(bytes(2))); }
std::uint32_t ByteCursor::u32be() { return static_cast<std::uint32_t>(readBe(bytes(4))); }

std::span<const std::byte> ByteCursor::bytes(std::size_t n) {
    if (!need(n)) return {};
    auto out = m_data.subspan(m_pos, n);
    m_pos += n;
    return out;
}

std::string_view ByteCursor::text(std::size_t n) {
    auto b = bytes(n);
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

void ByteCursor::skip(std::size_t n) { (void)bytes(n); }

std::string_view ByteCursor::readUntil(std::byte delimiter) {
    if (m_failed) return {};
    auto rest = m_data.subspan(m_pos);
    auto it = std::find(rest.begin(), rest.end(), delimiter);
    if (it == rest.end()) {
        setError("missing terminator after offset " + std::to_string(m_pos));
        return {};
    }
    std::size_t n = static_cast<std::size_t>(it - rest.begin());
    std::string_view out(reinterpret_cast<const char*>(rest.data()), n);
    m_pos += n + 1;
    return out;
}

std::string_view ByteCursor::readUntilOrEnd(std::byte delimiter) {
    if (m_failed) return {};
    auto rest = m_data.subspan(m_pos);
    auto it = std::find(rest.begin(), rest.end(), delimiter);
    std::size_t n = static_cast<std::size_t>(it - rest.begin());
    std::string_view out(reinterpret_cast<const char*>(rest.data()), n);
    m_pos += n + (it == rest.end() ? 0 : 1);
    return out;
}

std::span<const std::byte> ByteCursor::rest() { return bytes(remaining()); }

std::uint64_t ByteCursor::lenencInt() {
    if (!need(1)) return 0;
    std::size_t start = m_pos;
    std::uint8_t first = std::to_integer<std::uint8_t>(m_data[m_pos]);
    std::size_t width = 0;
    switch (first) {
        case 0xFC: width = 2; break;
        case 0xFD: width = 3; break;
        case 0xFE: width = 8; break;
        case 0xFB:
        case 0xFF:
            setError("not a length-coded integer at offset " + std::to_string(start));
            return 0;
        default:
            ++m_pos;
            return first;
    }
    if (!need(1 + width)) return 0;
    ++m_pos;
    return readLe(bytes(width));
}

std::string_view ByteCursor::lenencString() {
    std::size_t start = m_pos;
    std::uint64_t n = lenencInt();
    if (m_failed) return {};
    if (n > remaining()) {
        m_pos = start;
        setError("length-coded string of " + std::to_string(n) + " bytes at offset " +
                 std::to_string(start) + " runs past the end");
        return {};
    }
    return text(static_cast<std::size_t>(n));
}

void ByteCursor::seek(std::size_t pos) {
    if (m_failed) return;
    if (pos > m_data.size()) {
        setError("seek to " + std::to_string(pos) + " past the end (" +
                 std::to_string(m_data.size()) + ")");
        return;
    }
    m_pos = pos;
}

}  // namespace core
