#include "trust/key_setting.h"

#include "host/install_path.h"
#include "host/profile.h"
#include "trust/keys.h"

namespace trust {

core::Result<std::optional<PublicKey>, TrustError> chooseUpdateKey(
    const std::optional<std::string>& configured, std::string_view builtIn) {
    if (configured && !configured->empty()) {
        if (auto key = parsePublicKey(*configured)) return std::optional<PublicKey>(*key);
        return core::fail(TrustError{Refusal::BadPublicKey, "config.ini, [Update] PublicKey"});
    }
    if (!builtIn.empty()) {
        if (auto key = parsePublicKey(builtIn)) return std::optional<PublicKey>(*key);
        return core::fail(TrustError{Refusal::BadPublicKey, "chiave incorporata nel programma"});
    }
    return std::optional<PublicKey>{};
}

core::Result<std::optional<PublicKey>, TrustError> updateKeyOf(std::string_view installPath) {
    const host::ProfileFile ini = host::ProfileFile::Load(host::GetConfigFileName(installPath));
    return chooseUpdateKey(ini.Find(kUpdateSection, kPublicKeyKey), builtInPublicKey());
}

}  // namespace trust
