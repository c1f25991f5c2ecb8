// Why the updater refuses a release, and the Italian text it shows for it (the status text of
// page 1 for the version file, the download text of page 2 for the package).
#pragma once

#include <string>

namespace trust {

enum class Refusal {
    BadPublicKey,          // the configured or built-in key is not an Ed25519 public key
    SignatureMissing,      // the server has no "<version file>.sig"
    SignatureUnreadable,   // the signature could not be fetched for another reason
    SignatureMalformed,    // not one base64 line of 64 bytes
    SignatureWrong,        // the signature does not verify with the key
    VersionFileMalformed,  // a release line repeated or out of form, or one missing
    Expired,               // EXPIRES has passed
    Replayed,              // SEQ below the last one this installation accepted
    StateUnreadable,       // the state file is there but cannot be read
    StateNotSaved,         // the state file cannot be written
    PackageSize,           // the package's size is not the signed SIZE
    PackageDigest,         // the package's SHA-256 is not the signed one
    PackageUnreadable,     // the downloaded package cannot be read back
};

struct TrustError {
    Refusal refusal = Refusal::SignatureWrong;
    // What the text names: the malformed line, the expiry date, "5 < 7", the file.
    std::string detail;
};

std::string refusalText(const TrustError& e);

// The run log's line for an update checked against no key, and for a verified one.
inline constexpr const char* kTextNotVerified =
    "Aggiornamento NON verificato: nessuna chiave pubblica configurata";
std::string verifiedText(unsigned long long seq);

}  // namespace trust
