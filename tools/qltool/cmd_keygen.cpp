// qltool keygen DIR: a new Ed25519 key pair for the update publisher, DIR/private.key (owner-only)
// and DIR/public.key (the line config.ini's [Update] PublicKey takes). Existing files are kept.
#include <cstdio>
#include <filesystem>
#include <string>

#include "host/platform/file_names.h"
#include "host/platform/owner_only_file.h"
#include "trust/keys.h"
#include "trust_files.h"

extern const char* const qltool_keygen_usage =
    "keygen DIR          new signing key: DIR/private.key (owner-only), DIR/public.key";

int qltool_keygen(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_keygen_usage);
        return 64;
    }
    namespace fs = std::filesystem;
    const fs::path dir = host::fsPath(argv[1]);
    const std::string privateFile = host::pathText(dir / "private.key");
    const std::string publicFile = host::pathText(dir / "public.key");
    std::error_code ec;
    fs::create_directories(dir, ec);
    for (const std::string& f : {privateFile, publicFile}) {
        if (fs::symlink_status(host::fsPath(f), ec).type() != fs::file_type::not_found) {
            std::fprintf(stderr, "qltool keygen: %s already exists; nothing written\n", f.c_str());
            return 1;
        }
    }
    try {
        const trust::PrivateKey key = trust::newPrivateKey();
        std::string secret = trust::formatPrivateKey(key) + "\n";
        const std::error_code written = host::writeNewOwnerOnlyFile(privateFile, secret);
        secret.assign(secret.size(), '\0');
        if (written) {
            std::fprintf(stderr, "qltool keygen: %s: %s\n", privateFile.c_str(),
                         written.message().c_str());
            return 1;
        }
        const std::string publicLine = trust::formatPublicKey(key.publicKey);
        if (!qltool::replaceFile(publicFile, publicLine + "\n")) {
            std::fprintf(stderr, "qltool keygen: %s: cannot be written\n", publicFile.c_str());
            fs::remove(host::fsPath(privateFile), ec);
            return 1;
        }
        std::printf("%s\n%s\nPublicKey=%s\n", privateFile.c_str(), publicFile.c_str(),
                    publicLine.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qltool keygen: %s\n", e.what());
        return 1;
    }
    return 0;
}
