// The publisher's key files and the updater's PublicKey setting, each one line of base64:
//   public key:  the 32 bytes of the RFC 8032 public key (44 characters), as config.ini's
//                [Update] PublicKey and public.key hold it;
//   private key: the 32-byte seed followed by its 32-byte public key (88 characters), so that a
//                public key given where the private one belongs is refused by its length and a
//                damaged file by the pair not matching.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "trust/crypto.h"

namespace trust {

// Blanks and line ends around the text are ignored; anything else must be the base64 of the
// 32 key bytes.
std::optional<PublicKey> parsePublicKey(std::string_view text);
std::string formatPublicKey(const PublicKey& key);

struct PrivateKey {
    Seed seed{};
    PublicKey publicKey{};
};

enum class PrivateKeyError {
    NotBase64,    // not one line of base64
    WrongLength,  // not 64 bytes (a public key has 32)
    Mismatch,     // the public half is not the one the seed gives
};
std::optional<PrivateKey> parsePrivateKey(std::string_view text, PrivateKeyError& why);
std::string formatPrivateKey(const PrivateKey& key);
PrivateKey newPrivateKey();

}  // namespace trust
