// SHA-1 message digest (FIPS 180-4, 6.1), streaming; the MySQL 4.1 native-password token is
// built from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

using Sha1Digest = std::array<std::uint8_t, 20>;

class Sha1 {
  public:
    Sha1();
    void update(const void* data, std::size_t size);
    void update(std::string_view s) { update(s.data(), s.size()); }
    Sha1Digest finish();

  private:
    void block(const std::uint8_t* p);

    std::array<std::uint32_t, 5> m_state;
    std::array<std::uint8_t, 64> m_buffer{};
    std::uint64_t m_length = 0;  // bytes hashed so far
};

Sha1Digest sha1(std::string_view bytes);
// The 40 lower-case hexadecimal digits of the digest.
std::string sha1Hex(std::string_view bytes);

}  // namespace core
