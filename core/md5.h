// MD5 message digest (RFC 1321), streaming; used to name the temporary folder.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

class Md5 {
public:
    Md5();
    void update(const void* data, std::size_t size);
    void update(std::string_view s) { update(s.data(), s.size()); }
    std::array<std::uint8_t, 16> finish();

private:
    void block(const std::uint8_t* p);

    std::array<std::uint32_t, 4> m_state;
    std::array<std::uint8_t, 64> m_buffer{};
    std::uint64_t m_length = 0;  // bytes hashed so far
};

std::array<std::uint8_t, 16> md5(std::string_view bytes);

// Digest bytes as hexadecimal, the high half of each byte first.
std::string toHex(const std::uint8_t* data, std::size_t size, bool upper = false);

// The 32 hexadecimal digits of the MD5 of `text`. Version identifiers are ASCII; a character
// outside ASCII contributes its UTF-8 bytes.
std::string Md5Hex(std::string_view text, bool upper = false);

}  // namespace core
