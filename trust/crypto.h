// The cryptography the update check rests on: SHA-256 (FIPS 180-4) and Ed25519 (RFC 8032),
// both from libgcrypt. Keys and signatures are the RFC's fixed-size byte strings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/exception.h"

namespace trust {

inline constexpr std::size_t kPublicKeyBytes = 32;
inline constexpr std::size_t kSeedBytes = 32;
inline constexpr std::size_t kSignatureBytes = 64;
inline constexpr std::size_t kSha256Bytes = 32;

using PublicKey = std::array<std::uint8_t, kPublicKeyBytes>;
// RFC 8032 5.1.5: the private key is 32 random bytes, the seed every other value derives from.
using Seed = std::array<std::uint8_t, kSeedBytes>;
using Signature = std::array<std::uint8_t, kSignatureBytes>;
using Digest = std::array<std::uint8_t, kSha256Bytes>;

// The library refused an operation that cannot fail on good input (signing, key derivation).
using core::Exception;
QL_DECLARE_EXCEPTION(ECryptoError, Exception);

inline std::span<const std::byte> asBytes(std::string_view s) {
    return {reinterpret_cast<const std::byte*>(s.data()), s.size()};
}

// SHA-256 over bytes given in pieces.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(std::span<const std::byte> data);
    // The digest of everything given so far; the object is spent afterwards.
    Digest finish();

  private:
    void* m_handle = nullptr;
};

Digest sha256(std::span<const std::byte> data);

// RFC 8032 5.1.7. False for any signature that does not verify, including a malformed point or
// an S that is not below the group order (RFC 8032 5.1.7 step 1: such a signature is rejected,
// so that no second encoding of a valid signature verifies).
bool ed25519Verify(const PublicKey& key, std::span<const std::byte> message,
                   const Signature& signature);
// RFC 8032 5.1.6. Throws ECryptoError when the library fails.
Signature ed25519Sign(const Seed& seed, std::span<const std::byte> message);
// RFC 8032 5.1.5. Throws ECryptoError when the library fails.
PublicKey ed25519PublicKey(const Seed& seed);
// 32 bytes from the library's strongest random source, for a new key.
Seed randomSeed();

}  // namespace trust
