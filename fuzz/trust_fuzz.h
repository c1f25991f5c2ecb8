// The properties the version-file fuzz target checks, callable from the unit test that replays
// tests/regressions/version_file/. Each returns false when the property does not hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "trust/base64.h"
#include "trust/keys.h"
#include "trust/release_check.h"
#include "trust/signature_file.h"
#include "trust/version_file.h"

namespace trustfuzz {

// Release lines: the VE the old reader finds is the one the release reader finds, and a time
// that reads gives its own text back.
inline bool releaseLinesHold(std::string_view body) {
    const auto fields = trust::readReleaseFields(body);
    if (fields && fields->vid != trust::latestVersionId(body)) return false;
    if (fields && fields->expires && !trust::parseUtcTime(trust::formatUtcTime(*fields->expires)))
        return false;
    for (const trust::VersionLine& l : trust::readVersionLines(body)) {
        if (l.key != "EXPIRES") continue;
        if (auto t = trust::parseUtcTime(l.value); t && trust::formatUtcTime(*t) != l.value)
            return false;
    }
    return true;
}

// Base64 and the signature file: only canonical texts decode, so what decodes encodes back to
// the same text (blanks and line ends after a signature aside).
inline bool signatureTextHolds(std::string_view text) {
    if (auto bytes = trust::base64Decode(text); bytes && trust::base64Encode(*bytes) != text)
        return false;
    if (auto sig = trust::parseSignatureFile(text)) {
        const std::string again = trust::formatSignatureFile(*sig);
        if (text.substr(0, 88) != std::string_view(again).substr(0, 88)) return false;
    }
    return true;
}

// The whole check over a body and a signature cut from the input at its first byte: it gives a
// verdict, never a crash, and it never accepts a release the key did not sign (no one holds the
// seed of this key but this function, and it signs nothing).
inline bool releaseCheckHolds(std::string_view input) {
    static const trust::PublicKey key = trust::ed25519PublicKey(trust::Seed{1, 2, 3});
    if (input.empty()) return true;
    const std::size_t cut = static_cast<unsigned char>(input[0]) % input.size();
    const std::string_view rest = input.substr(1);
    const std::string_view body = rest.substr(0, std::min(cut, rest.size()));
    const std::string_view sig = rest.substr(std::min(cut, rest.size()));
    auto r = trust::verifyRelease(key, body, sig, 1700000000, 5);
    return !r;
}

inline bool allHold(std::string_view input) {
    return releaseLinesHold(input) && signatureTextHolds(input) && releaseCheckHolds(input);
}

}  // namespace trustfuzz
