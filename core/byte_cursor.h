// ByteCursor: the one way untrusted bytes are read. Bounds-checked little-endian reads,
// MySQL length-coded integers and strings, read_until. A failed read does not advance,
// returns a zero value, and leaves a sticky error naming the offset (LLVM DataExtractor::Cursor).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace core {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::byte> data) : m_data(data) {}
    ByteCursor(const void* data, std::size_t size)
        : m_data(static_cast<const std::byte*>(data), size) {}

    bool ok() const { return !m_failed; }
    // "short read at offset N (wanted W bytes, have H)" or empty when ok().
    const std::string& error() const { return m_error; }
    std::size_t offset() const { return m_pos; }
    std::size_t size() const { return m_data.size(); }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }

    std::uint8_t u8();
    std::uint16_t u16le();
    std::uint32_t u24le();
    std::uint32_t u32le();
    std::uint64_t u64le();
    std::uint16_t u16be();
    std::uint32_t u32be();
    // Peeks at the next byte without moving; nullopt at the end (not an error).
    std::optional<std::uint8_t> peek() const;

    std::span<const std::byte> bytes(std::size_t n);
    std::string_view text(std::size_t n);  // n bytes as chars
    void skip(std::size_t n);
    // Bytes up to (not including) the delimiter; the delimiter is consumed. Fails when absent.
    std::string_view readUntil(std::byte delimiter);
    // Bytes up to the delimiter or the end, whichever comes first; the delimiter is consumed.
    std::string_view readUntilOrEnd(std::byte delimiter);
    std::span<const std::byte> rest();

    // MySQL length-coded integer: < 0xFB one byte, 0xFC 2 bytes, 0xFD 3 bytes, 0xFE 8 bytes.
    // 0xFB (NULL) and 0xFF are not integers and fail here; callers test peek() for NULL.
    std::uint64_t lenencInt();
    std::string_view lenencString();

    void seek(std::size_t pos);
    // Records a failure from a caller's own check (for example a value out of range).
    void setError(const std::string& why);

private:
    bool need(std::size_t n);

    std::span<const std::byte> m_data;
    std::size_t m_pos = 0;
    bool m_failed = false;
    std::string m_error;
};

inline std::span<const std::byte> asBytes(std::string_view s) {
    return {reinterpret_cast<const std::byte*>(s.data()), s.size()};
}

}  // namespace core
