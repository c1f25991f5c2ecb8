#include "archive/zip_crypto.h"

namespace archive {

namespace {

// One step of the CRC-32 of the reflected polynomial 0xEDB88320, as the key schedule uses it.
std::uint32_t crcStep(std::uint32_t crc, std::uint8_t b) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
    return crc;
}

}  // namespace

ZipCryptoKeys::ZipCryptoKeys(std::string_view password) {
    for (char c : password) update(static_cast<std::uint8_t>(c));
}

void ZipCryptoKeys::update(std::uint8_t plain) {
    m_k0 = crcStep(m_k0, plain);
    m_k1 = (m_k1 + (m_k0 & 0xFF)) * 134775813U + 1;
    m_k2 = crcStep(m_k2, static_cast<std::uint8_t>(m_k1 >> 24));
}

std::uint8_t ZipCryptoKeys::decrypt(std::uint8_t c) {
    const std::uint32_t t = (m_k2 | 2) & 0xFFFF;
    const auto plain = static_cast<std::uint8_t>(c ^ static_cast<std::uint8_t>((t * (t ^ 1)) >> 8));
    update(plain);
    return plain;
}

bool checkZipCryptoHeader(ZipCryptoKeys& keys, const std::array<std::uint8_t, 12>& header,
                          std::uint8_t checkByte) {
    std::uint8_t last = 0;
    for (std::uint8_t b : header) last = keys.decrypt(b);
    return last == checkByte;
}

core::Result<std::size_t, DecodeError> ZipCryptoSource::read(std::span<std::byte> buf) {
    auto n = m_inner.read(buf);
    if (!n) return n;
    for (std::size_t i = 0; i < *n; ++i)
        buf[i] = static_cast<std::byte>(m_keys.decrypt(std::to_integer<std::uint8_t>(buf[i])));
    return n;
}

}  // namespace archive
