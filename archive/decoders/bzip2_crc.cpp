#include "archive/decoders/bzip2_crc.h"

#include <array>

namespace archive {
namespace {

// kTables[k][b]: the CRC change of byte b followed by k zero bytes, so that eight bytes are
// folded in with eight independent lookups ("slicing by eight").
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables makeTables() {
    Tables t{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b << 24;
        for (int i = 0; i < 8; ++i) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        t[0][b] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t b = 0; b < 256; ++b)
            t[k][b] = (t[k - 1][b] << 8) ^ t[0][t[k - 1][b] >> 24];
    return t;
}

constexpr Tables kTables = makeTables();

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

void Bzip2Crc::update(const std::uint8_t* data, std::size_t size) {
    std::uint32_t c = m_crc;
    for (; size >= 8; size -= 8, data += 8) {
        const std::uint32_t hi = c ^ bigEndian32(data);
        const std::uint32_t lo = bigEndian32(data + 4);
        c = kTables[7][hi >> 24] ^ kTables[6][(hi >> 16) & 0xFF] ^ kTables[5][(hi >> 8) & 0xFF] ^
            kTables[4][hi & 0xFF] ^ kTables[3][lo >> 24] ^ kTables[2][(lo >> 16) & 0xFF] ^
            kTables[1][(lo >> 8) & 0xFF] ^ kTables[0][lo & 0xFF];
    }
    for (; size > 0; --size, ++data) c = (c << 8) ^ kTables[0][(c >> 24) ^ *data];
    m_crc = c;
}

}  // namespace archive
