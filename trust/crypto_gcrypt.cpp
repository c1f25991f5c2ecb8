// The one file that speaks to libgcrypt. Keys, data and signatures travel as the library's
// S-expressions: EdDSA over Ed25519 with the "eddsa" flag takes the RFC 8032 encodings as they
// are (the 32-byte point q, the 32-byte secret d, the signature halves r and s).
#include <gcrypt.h>

#include <cstring>
#include <string>

#include "trust/crypto.h"

namespace trust {
namespace {

// The oldest libgcrypt with the EdDSA interfaces used here (Debian 12 ships 1.10).
constexpr const char* kMinimumVersion = "1.8.0";

void initialise() {
    // Initialisation runs once, before the first call, as the library's manual requires. Secure
    // memory is off: the updater holds no secret, and the publisher's tool would need mlock
    // rights for it; buffers that held a secret are wiped instead.
    static const bool ready = [] {
        if (!gcry_check_version(kMinimumVersion)) return false;
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    if (!ready) throw ECryptoError("libgcrypt older than " + std::string(kMinimumVersion));
}

[[noreturn]] void failed(const char* what, gcry_error_t e) {
    throw ECryptoError(std::string(what) + ": " + gcry_strerror(e));
}

class Sexp {
  public:
    Sexp() = default;
    ~Sexp() { gcry_sexp_release(m_s); }
    Sexp(const Sexp&) = delete;
    Sexp& operator=(const Sexp&) = delete;
    gcry_sexp_t* out() { return &m_s; }
    gcry_sexp_t get() const { return m_s; }

  private:
    gcry_sexp_t m_s = nullptr;
};

// The data of the named token's first value, when it has exactly `size` bytes.
bool tokenBytes(gcry_sexp_t list, const char* name, std::uint8_t* out, std::size_t size) {
    Sexp token;
    *token.out() = gcry_sexp_find_token(list, name, 0);
    if (!token.get()) return false;
    std::size_t n = 0;
    const char* data = gcry_sexp_nth_data(token.get(), 1, &n);
    if (!data || n != size) return false;
    std::memcpy(out, data, size);
    return true;
}

// RFC 8032 5.1.7 step 1: S is a little-endian integer that must lie below the group order
// L = 2^252 + 27742317777372353535851937790883648493.
constexpr std::uint8_t kOrderL[32] = {
    0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};

bool belowOrder(const std::uint8_t* s) {
    for (int i = 31; i >= 0; --i) {
        if (s[i] != kOrderL[i]) return s[i] < kOrderL[i];
    }
    return false;
}

}  // namespace

Sha256::Sha256() {
    initialise();
    gcry_md_hd_t h = nullptr;
    if (const gcry_error_t e = gcry_md_open(&h, GCRY_MD_SHA256, 0)) failed("SHA-256", e);
    m_handle = h;
}

Sha256::~Sha256() {
    gcry_md_close(static_cast<gcry_md_hd_t>(m_handle));
}

void Sha256::update(std::span<const std::byte> data) {
    gcry_md_write(static_cast<gcry_md_hd_t>(m_handle), data.data(), data.size());
}

Digest Sha256::finish() {
    Digest d{};
    const unsigned char* p = gcry_md_read(static_cast<gcry_md_hd_t>(m_handle), GCRY_MD_SHA256);
    if (!p) throw ECryptoError("SHA-256: no digest");
    std::memcpy(d.data(), p, d.size());
    return d;
}

Digest sha256(std::span<const std::byte> data) {
    Sha256 h;
    h.update(data);
    return h.finish();
}

bool ed25519Verify(const PublicKey& key, std::span<const std::byte> message,
                   const Signature& signature) {
    if (!belowOrder(signature.data() + 32)) return false;
    initialise();
    Sexp pub, data, sig;
    if (gcry_sexp_build(pub.out(), nullptr, "(public-key(ecc(curve Ed25519)(flags eddsa)(q %b)))",
                        static_cast<int>(key.size()), key.data()) ||
        gcry_sexp_build(data.out(), nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))",
                        static_cast<int>(message.size()), message.data()) ||
        gcry_sexp_build(sig.out(), nullptr, "(sig-val(eddsa(r %b)(s %b)))", 32, signature.data(),
                        32, signature.data() + 32))
        return false;
    return gcry_pk_verify(sig.get(), data.get(), pub.get()) == 0;
}

Signature ed25519Sign(const Seed& seed, std::span<const std::byte> message) {
    initialise();
    Sexp priv, data, sig;
    if (const gcry_error_t e = gcry_sexp_build(
            priv.out(), nullptr, "(private-key(ecc(curve Ed25519)(flags eddsa)(d %b)))",
            static_cast<int>(seed.size()), seed.data()))
        failed("Ed25519 key", e);
    if (const gcry_error_t e =
            gcry_sexp_build(data.out(), nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))",
                            static_cast<int>(message.size()), message.data()))
        failed("Ed25519 data", e);
    if (const gcry_error_t e = gcry_pk_sign(sig.out(), data.get(), priv.get()))
        failed("Ed25519 signing", e);
    Signature out{};
    if (!tokenBytes(sig.get(), "r", out.data(), 32) ||
        !tokenBytes(sig.get(), "s", out.data() + 32, 32))
        throw ECryptoError("Ed25519 signing: unexpected signature form");
    return out;
}

PublicKey ed25519PublicKey(const Seed& seed) {
    initialise();
    Sexp priv;
    if (const gcry_error_t e = gcry_sexp_build(
            priv.out(), nullptr, "(private-key(ecc(curve Ed25519)(flags eddsa)(d %b)))",
            static_cast<int>(seed.size()), seed.data()))
        failed("Ed25519 key", e);
    gcry_ctx_t ctx = nullptr;
    if (const gcry_error_t e = gcry_mpi_ec_new(&ctx, priv.get(), nullptr)) failed("Ed25519 key", e);
    // "q@eddsa" asks for the point in the RFC 8032 encoding, computed from d.
    gcry_mpi_t q = gcry_mpi_ec_get_mpi("q@eddsa", ctx, 1);
    gcry_ctx_release(ctx);
    if (!q) throw ECryptoError("Ed25519 key: no public point");
    unsigned int bits = 0;
    const auto* p = static_cast<const std::uint8_t*>(gcry_mpi_get_opaque(q, &bits));
    std::size_t n = (bits + 7) / 8;
    // The library may mark the compressed form with a 0x40 prefix byte.
    if (p && n == kPublicKeyBytes + 1 && p[0] == 0x40) {
        ++p;
        --n;
    }
    PublicKey out{};
    const bool good = p && n == kPublicKeyBytes;
    if (good) std::memcpy(out.data(), p, out.size());
    gcry_mpi_release(q);
    if (!good) throw ECryptoError("Ed25519 key: unexpected public point form");
    return out;
}

Seed randomSeed() {
    initialise();
    Seed s{};
    gcry_randomize(s.data(), s.size(), GCRY_VERY_STRONG_RANDOM);
    return s;
}

}  // namespace trust
