// Which public key checks this installation's updates: config.ini's [Update] PublicKey when it
// holds a value, else the key built into the program (the CMake cache variable
// QL_UPDATE_PUBLIC_KEY), else none (the update runs unverified, as it always did).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/result.h"
#include "trust/crypto.h"
#include "trust/refusal.h"

namespace trust {

inline constexpr std::string_view kUpdateSection = "Update";
inline constexpr std::string_view kPublicKeyKey = "PublicKey";

// The key built in at build time ("" when none was given).
std::string_view builtInPublicKey();

// A value that is there but not a key is an error, never "no key": a typing slip must not turn
// verification off. An empty value counts as absent.
core::Result<std::optional<PublicKey>, TrustError> chooseUpdateKey(
    const std::optional<std::string>& configured, std::string_view builtIn);
// chooseUpdateKey with config.ini of the installation and the built-in key.
core::Result<std::optional<PublicKey>, TrustError> updateKeyOf(std::string_view installPath);

}  // namespace trust
