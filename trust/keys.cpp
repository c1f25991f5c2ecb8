#include "trust/keys.h"

#include <algorithm>
#include <vector>

#include "trust/base64.h"

namespace trust {
namespace {

// Trims codes up to U+0020 from both ends, as the version file's lines are trimmed.
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
    return s;
}

void wipe(std::vector<std::uint8_t>& v) {
    std::fill(v.begin(), v.end(), std::uint8_t{0});
}

}  // namespace

std::optional<PublicKey> parsePublicKey(std::string_view text) {
    auto bytes = base64Decode(trimmed(text));
    if (!bytes || bytes->size() != kPublicKeyBytes) return std::nullopt;
    PublicKey key{};
    std::copy(bytes->begin(), bytes->end(), key.begin());
    return key;
}

std::string formatPublicKey(const PublicKey& key) {
    return base64Encode(key);
}

std::optional<PrivateKey> parsePrivateKey(std::string_view text, PrivateKeyError& why) {
    auto bytes = base64Decode(trimmed(text));
    if (!bytes) {
        why = PrivateKeyError::NotBase64;
        return std::nullopt;
    }
    if (bytes->size() != kSeedBytes + kPublicKeyBytes) {
        wipe(*bytes);
        why = PrivateKeyError::WrongLength;
        return std::nullopt;
    }
    PrivateKey key;
    std::copy_n(bytes->begin(), kSeedBytes, key.seed.begin());
    std::copy_n(bytes->begin() + kSeedBytes, kPublicKeyBytes, key.publicKey.begin());
    wipe(*bytes);
    if (ed25519PublicKey(key.seed) != key.publicKey) {
        key.seed.fill(0);
        why = PrivateKeyError::Mismatch;
        return std::nullopt;
    }
    return key;
}

std::string formatPrivateKey(const PrivateKey& key) {
    std::vector<std::uint8_t> bytes(key.seed.begin(), key.seed.end());
    bytes.insert(bytes.end(), key.publicKey.begin(), key.publicKey.end());
    std::string text = base64Encode(bytes);
    wipe(bytes);
    return text;
}

PrivateKey newPrivateKey() {
    PrivateKey key;
    key.seed = randomSeed();
    key.publicKey = ed25519PublicKey(key.seed);
    return key;
}

}  // namespace trust
