// The detached signature "<version file>.sig": the base64 text of the 64 signature bytes
// (RFC 8032 5.1.6: R then S), one line of 88 characters. Base64 rather than raw bytes so the
// file survives text transfers and editors, and so an HTML error page is never mistaken for
// one; blanks and line ends after it are allowed, nothing else.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "trust/crypto.h"

namespace trust {

// A signature file is a few bytes; the updater fetches at most this many.
inline constexpr std::size_t kMaxSignatureFileBytes = 4096;
inline constexpr std::string_view kSignatureSuffix = ".sig";

std::optional<Signature> parseSignatureFile(std::string_view text);
// The 88 characters and a line feed.
std::string formatSignatureFile(const Signature& signature);

}  // namespace trust
