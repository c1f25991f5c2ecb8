#include "trust/signature_file.h"

#include <algorithm>

#include "trust/base64.h"

namespace trust {

std::optional<Signature> parseSignatureFile(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    auto bytes = base64Decode(text);
    if (!bytes || bytes->size() != kSignatureBytes) return std::nullopt;
    Signature s{};
    std::copy(bytes->begin(), bytes->end(), s.begin());
    return s;
}

std::string formatSignatureFile(const Signature& signature) {
    return base64Encode(signature) + "\n";
}

}  // namespace trust
