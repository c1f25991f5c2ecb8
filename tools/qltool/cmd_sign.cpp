// qltool sign KEY VERSIONFILE: writes VERSIONFILE.sig, the Ed25519 signature of the file's exact
// bytes with the private key KEY. A version file the updater would refuse (a release line
// missing or out of form, already expired) is not signed.
#include <cstdio>
#include <string>

#include "trust/keys.h"
#include "trust/release_check.h"
#include "trust/signature_file.h"
#include "trust_files.h"

extern const char* const qltool_sign_usage =
    "sign KEY VERSIONFILE  sign VERSIONFILE with the private KEY: writes VERSIONFILE.sig";

namespace {

const char* keyProblem(trust::PrivateKeyError why) {
    switch (why) {
        case trust::PrivateKeyError::NotBase64:
            return "not a key file";
        case trust::PrivateKeyError::WrongLength:
            return "not a private key (a public key?)";
        case trust::PrivateKeyError::Mismatch:
            return "damaged: its halves do not belong together";
    }
    return "";
}

}  // namespace

int qltool_sign(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_sign_usage);
        return 64;
    }
    const std::string keyFile = argv[1];
    const std::string versionFile = argv[2];
    try {
        auto keyText = qltool::readSmallFile(keyFile, qltool::kMaxKeyFileBytes);
        if (!keyText) {
            std::fprintf(stderr, "qltool sign: %s: cannot be read\n", keyFile.c_str());
            return 1;
        }
        trust::PrivateKeyError why{};
        const auto key = trust::parsePrivateKey(*keyText, why);
        keyText->assign(keyText->size(), '\0');
        if (!key) {
            std::fprintf(stderr, "qltool sign: %s: %s\n", keyFile.c_str(), keyProblem(why));
            return 1;
        }
        const auto body = qltool::readSmallFile(versionFile, qltool::kMaxVersionFileBytes);
        if (!body) {
            std::fprintf(stderr, "qltool sign: %s: cannot be read\n", versionFile.c_str());
            return 1;
        }
        const std::string sig =
            trust::formatSignatureFile(trust::ed25519Sign(key->seed, trust::asBytes(*body)));
        // What the updater will check, checked before anything is published.
        auto release = trust::verifyRelease(key->publicKey, *body, sig, trust::utcNow(), {});
        if (!release) {
            std::fprintf(stderr, "qltool sign: %s: %s\n", versionFile.c_str(),
                         trust::refusalText(release.error()).c_str());
            return 1;
        }
        const std::string sigFile = versionFile + std::string(trust::kSignatureSuffix);
        if (!qltool::replaceFile(sigFile, sig)) {
            std::fprintf(stderr, "qltool sign: %s: cannot be written\n", sigFile.c_str());
            return 1;
        }
        std::printf("%s\n", sigFile.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qltool sign: %s\n", e.what());
        return 1;
    }
    return 0;
}
