// The session's part of signed updates: phase 1 fetches the version file's signature and hands
// both to the release check; phase 2 checks the downloaded package against what was signed.
#include <string>

#include "app/frm_auto_update.h"
#include "net/id_exceptions.h"
#include "net/id_http.h"
#include "net/stream.h"
#include "net/update_server.h"
#include "trust/key_setting.h"
#include "trust/release_check.h"
#include "trust/signature_file.h"
#include "trust/version_file.h"

namespace app {

bool TfrmAutoUpdate::AcceptVersionFile(std::string_view body, std::optional<std::string>& vid,
                                       std::string& refusal) {
    Release.reset();
    TrustLogLine.clear();
    auto key = trust::updateKeyOf(InstallPath);
    if (!key) {
        refusal = trust::refusalText(key.error());
        return false;
    }
    if (!*key) {
        // No key: the file is read as it always was.
        vid = trust::latestVersionId(body);
        TrustLogLine = trust::kTextNotVerified;
        return true;
    }
    std::optional<std::string> signature;
    try {
        net::MemoryStream sig(trust::kMaxSignatureFileBytes, net::Overflow::Fail);
        IdDownHTTP->Get(UpdateServer->versionFileUrl() + std::string(trust::kSignatureSuffix), sig);
        signature = std::string(sig.text());
    } catch (const net::EIdHTTPProtocolException& e) {
        // 404 and 410 say there is no signature; any other answer says nothing about it.
        if (e.ErrorCode() != 404 && e.ErrorCode() != 410) {
            refusal = trust::refusalText({trust::Refusal::SignatureUnreadable, e.what()});
            return false;
        }
    } catch (const std::exception& e) {
        refusal = trust::refusalText({trust::Refusal::SignatureUnreadable, e.what()});
        return false;
    }
    std::optional<std::string_view> sigView;
    if (signature) sigView = *signature;
    auto release = trust::acceptRelease(**key, InstallPath, body, sigView, trust::utcNow());
    if (!release) {
        refusal = trust::refusalText(release.error());
        return false;
    }
    vid = release->vid;
    TrustLogLine = trust::verifiedText(release->seq);
    Release = std::move(*release);
    return true;
}

bool TfrmAutoUpdate::CheckDownloadedPackage(const std::string& packageFile) {
    if (!Release) return true;
    auto checked = trust::checkPackage(packageFile, *Release);
    if (checked) return true;
    m_fase02Refusal = trust::refusalText(checked.error());
    return false;
}

void TfrmAutoUpdate::NotePackageTooLarge() {
    m_fase02Refusal = trust::refusalText(
        {trust::Refusal::PackageSize, "oltre " + std::to_string(Release ? Release->size : 0)});
}

}  // namespace app
