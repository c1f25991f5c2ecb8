// The checks of a signed release: the version file's signature before any of its lines is
// believed, then its release lines, its expiry and its sequence number; later the package
// against the signed size and SHA-256.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/result.h"
#include "trust/crypto.h"
#include "trust/refusal.h"

namespace trust {

// What a verified version file promises.
struct VerifiedRelease {
    std::string vid;
    Digest sha256{};
    std::uint64_t size = 0;
    std::uint64_t seq = 0;
    std::optional<std::int64_t> expires;
};

// `signatureFile` is the body of "<version file>.sig", nothing when the server has none; `now`
// is seconds since 1970 (UTC); `lastSeq` the last accepted SEQ, nothing before the first. A
// signed version file must carry VE, SHA256, SIZE and SEQ; EXPIRES is optional.
core::Result<VerifiedRelease, TrustError> verifyRelease(
    const PublicKey& key, std::string_view body, std::optional<std::string_view> signatureFile,
    std::int64_t now, std::optional<std::uint64_t> lastSeq);

// verifyRelease against the installation's accepted SEQ, which it then raises to the release's.
core::Result<VerifiedRelease, TrustError> acceptRelease(
    const PublicKey& key, std::string_view installPath, std::string_view body,
    std::optional<std::string_view> signatureFile, std::int64_t now);

// The package file's size, then its SHA-256, against the release. The size comes first, so a
// package of the wrong length is refused without reading it.
core::Result<void, TrustError> checkPackage(const std::string& packageFile,
                                            const VerifiedRelease& release);

// Seconds since 1970 (UTC) now.
std::int64_t utcNow();

}  // namespace trust
