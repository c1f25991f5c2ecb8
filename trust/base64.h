// Base64 (RFC 4648 section 4, standard alphabet, "=" padding) for keys and signatures kept as
// one line of text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trust {

std::string base64Encode(std::span<const std::uint8_t> data);
// Only the canonical encoding decodes: a length that is a multiple of 4, padding only at the
// end, no other character, and pad bits of zero (RFC 4648 3.5), so each value has one text.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text);

}  // namespace trust
