// Traditional PKWARE encryption (APPNOTE 6.1): three 32-bit keys stirred by the password and by
// every plain byte; a 12-byte header in front of the data whose last byte checks the password.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "archive/decoders/decoder.h"

namespace archive {

class ZipCryptoKeys {
  public:
    explicit ZipCryptoKeys(std::string_view password);
    std::uint8_t decrypt(std::uint8_t c);

  private:
    void update(std::uint8_t plain);
    std::uint32_t m_k0 = 0x12345678, m_k1 = 0x23456789, m_k2 = 0x34567890;
};

// Decrypts the 12-byte header; true when its last byte equals `checkByte` (APPNOTE 6.1.6: the
// high byte of the CRC-32, or of the file time when the sizes follow in a data descriptor).
bool checkZipCryptoHeader(ZipCryptoKeys& keys, const std::array<std::uint8_t, 12>& header,
                          std::uint8_t checkByte);

// The encrypted data of an entry (after its 12-byte header), decrypted as it is read.
class ZipCryptoSource final : public ByteSource {
  public:
    ZipCryptoSource(ByteSource& inner, ZipCryptoKeys keys) : m_inner(inner), m_keys(keys) {}
    core::Result<std::size_t, DecodeError> read(std::span<std::byte> buf) override;

  private:
    ByteSource& m_inner;
    ZipCryptoKeys m_keys;
};

}  // namespace archive
