#include "core/sha1.h"

#include <algorithm>

#include "core/md5.h"

namespace core {

namespace {

std::uint32_t rotl(std::uint32_t x, int c) {
    return (x << c) | (x >> (32 - c));
}

}  // namespace

// FIPS 180-4 5.3.1: the initial hash value H(0).
Sha1::Sha1() : m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0} {}

// FIPS 180-4 6.1.2: one 512-bit block; the message schedule W is big-endian words.
void Sha1::block(const std::uint8_t* p) {
    std::uint32_t w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = (std::uint32_t{p[4 * t]} << 24) | (std::uint32_t{p[4 * t + 1]} << 16) |
               (std::uint32_t{p[4 * t + 2]} << 8) | std::uint32_t{p[4 * t + 3]};
    for (int t = 16; t < 80; ++t) w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3], e = m_state[4];
    for (int t = 0; t < 80; ++t) {
        // FIPS 180-4 4.1.1 (functions) and 4.2.1 (constants), by round of twenty.
        std::uint32_t f, k;
        if (t < 20) {
            f = (b & c) ^ (~b & d);
            k = 0x5a827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ed9eba1;
        } else if (t < 60) {
            f = (b & c) ^ (b & d) ^ (c & d);
            k = 0x8f1bbcdc;
        } else {
            f = b ^ c ^ d;
            k = 0xca62c1d6;
        }
        std::uint32_t temp = rotl(a, 5) + f + e + k + w[t];
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = temp;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
}

void Sha1::update(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::size_t used = static_cast<std::size_t>(m_length % 64);
    m_length += size;
    if (used) {
        std::size_t take = std::min(size, 64 - used);
        std::copy(p, p + take, m_buffer.begin() + static_cast<std::ptrdiff_t>(used));
        p += take;
        size -= take;
        if (used + take < 64) return;
        block(m_buffer.data());
    }
    for (; size >= 64; p += 64, size -= 64) block(p);
    std::copy(p, p + size, m_buffer.begin());
}

// FIPS 180-4 5.1.1: a 1 bit, zeros up to 56 mod 64 bytes, then the bit length big-endian.
Sha1Digest Sha1::finish() {
    std::uint64_t bits = m_length * 8;
    const std::uint8_t one = 0x80;
    update(&one, 1);
    const std::uint8_t zero = 0;
    while (m_length % 64 != 56) update(&zero, 1);
    std::uint8_t len[8];
    for (int i = 0; i < 8; ++i) len[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    update(len, 8);
    Sha1Digest out;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<std::uint8_t>(m_state[i] >> (24 - 8 * j));
    return out;
}

Sha1Digest sha1(std::string_view bytes) {
    Sha1 h;
    h.update(bytes);
    return h.finish();
}

std::string sha1Hex(std::string_view bytes) {
    Sha1Digest d = sha1(bytes);
    return toHex(d.data(), d.size());
}

}  // namespace core
