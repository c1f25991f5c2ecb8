#include "trust/release_check.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "host/platform/file_names.h"
#include "trust/accepted_state.h"
#include "trust/signature_file.h"
#include "trust/version_file.h"

namespace trust {
namespace {

TrustError missing(const char* key) {
    return {Refusal::VersionFileMalformed, std::string("manca ") + key};
}

}  // namespace

core::Result<VerifiedRelease, TrustError> verifyRelease(
    const PublicKey& key, std::string_view body, std::optional<std::string_view> signatureFile,
    std::int64_t now, std::optional<std::uint64_t> lastSeq) {
    if (!signatureFile) return core::fail(TrustError{Refusal::SignatureMissing, {}});
    const std::optional<Signature> signature = parseSignatureFile(*signatureFile);
    if (!signature) return core::fail(TrustError{Refusal::SignatureMalformed, {}});
    // The signature covers the bytes as served: nothing of the file is read before it holds.
    if (!ed25519Verify(key, asBytes(body), *signature))
        return core::fail(TrustError{Refusal::SignatureWrong, {}});
    auto fields = readReleaseFields(body);
    if (!fields)
        return core::fail(TrustError{Refusal::VersionFileMalformed, fields.error().describe()});
    if (!fields->vid) return core::fail(missing("VE"));
    if (!fields->sha256) return core::fail(missing("SHA256"));
    if (!fields->size) return core::fail(missing("SIZE"));
    if (!fields->seq) return core::fail(missing("SEQ"));
    if (fields->expires && now >= *fields->expires)
        return core::fail(TrustError{Refusal::Expired, formatUtcTime(*fields->expires)});
    if (lastSeq && *fields->seq < *lastSeq)
        return core::fail(TrustError{
            Refusal::Replayed, std::to_string(*fields->seq) + " < " + std::to_string(*lastSeq)});
    return VerifiedRelease{*fields->vid, *fields->sha256, *fields->size, *fields->seq,
                           fields->expires};
}

core::Result<VerifiedRelease, TrustError> acceptRelease(
    const PublicKey& key, std::string_view installPath, std::string_view body,
    std::optional<std::string_view> signatureFile, std::int64_t now) {
    auto last = readAcceptedSeq(installPath);
    if (!last) return core::fail(last.error());
    auto release = verifyRelease(key, body, signatureFile, now, *last);
    if (!release) return release;
    if (!*last || **last != release->seq) {
        auto saved = saveAcceptedSeq(installPath, release->seq);
        if (!saved) return core::fail(saved.error());
    }
    return release;
}

core::Result<void, TrustError> checkPackage(const std::string& packageFile,
                                            const VerifiedRelease& release) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(host::fsPath(packageFile), ec);
    if (ec) return core::fail(TrustError{Refusal::PackageUnreadable, ec.message()});
    if (size != release.size)
        return core::fail(TrustError{Refusal::PackageSize, std::to_string(size) + " invece di " +
                                                               std::to_string(release.size)});
    std::FILE* in = host::openFile(packageFile, "rb");
    if (in == nullptr) return core::fail(TrustError{Refusal::PackageUnreadable, packageFile});
    Sha256 hash;
    std::vector<char> buffer(1 << 16);
    std::uintmax_t total = 0;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
        hash.update({reinterpret_cast<const std::byte*>(buffer.data()), n});
        total += n;
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed || total != size)
        return core::fail(TrustError{Refusal::PackageUnreadable, packageFile});
    if (hash.finish() != release.sha256) return core::fail(TrustError{Refusal::PackageDigest, {}});
    return core::Ok{};
}

std::int64_t utcNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace trust
