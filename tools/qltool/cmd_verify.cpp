// qltool verify PUBKEY VERSIONFILE [PACKAGE]: the updater's checks of a signed release, by hand.
// PUBKEY is a public.key file or the key's base64 line. Exit 0 with the release's lines when
// VERSIONFILE.sig, the release lines, the expiry and (when given) the package hold; exit 1 with
// the updater's reason otherwise. SEQ is shown, not compared: there is no installation here.
#include <cstdio>
#include <string>

#include "trust/keys.h"
#include "trust/release_check.h"
#include "trust/signature_file.h"
#include "trust/version_file.h"
#include "trust_files.h"

extern const char* const qltool_verify_usage =
    "verify PUBKEY VERSIONFILE [PACKAGE]  check VERSIONFILE.sig, the release lines and PACKAGE";

int qltool_verify(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_verify_usage);
        return 64;
    }
    const std::string versionFile = argv[2];
    try {
        const auto keyText = qltool::readSmallFile(argv[1], qltool::kMaxKeyFileBytes);
        const auto key = trust::parsePublicKey(keyText ? *keyText : std::string(argv[1]));
        if (!key) {
            std::fprintf(stderr, "qltool verify: %s: not a public key\n", argv[1]);
            return 1;
        }
        const auto body = qltool::readSmallFile(versionFile, qltool::kMaxVersionFileBytes);
        if (!body) {
            std::fprintf(stderr, "qltool verify: %s: cannot be read\n", versionFile.c_str());
            return 1;
        }
        const auto sig = qltool::readSmallFile(versionFile + std::string(trust::kSignatureSuffix),
                                               trust::kMaxSignatureFileBytes);
        std::optional<std::string_view> sigView;
        if (sig) sigView = *sig;
        auto release = trust::verifyRelease(*key, *body, sigView, trust::utcNow(), {});
        if (!release) {
            std::printf("%s\n", trust::refusalText(release.error()).c_str());
            return 1;
        }
        if (argc == 4) {
            auto package = trust::checkPackage(argv[3], *release);
            if (!package) {
                std::printf("%s\n", trust::refusalText(package.error()).c_str());
                return 1;
            }
        }
        std::printf("VE|%s\nSHA256|%s\nSIZE|%llu\nSEQ|%llu\n", release->vid.c_str(),
                    trust::hexDigest(release->sha256).c_str(),
                    static_cast<unsigned long long>(release->size),
                    static_cast<unsigned long long>(release->seq));
        if (release->expires)
            std::printf("EXPIRES|%s\n", trust::formatUtcTime(*release->expires).c_str());
        std::printf(argc == 4 ? "firma e pacchetto verificati\n" : "firma verificata\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qltool verify: %s\n", e.what());
        return 1;
    }
    return 0;
}
