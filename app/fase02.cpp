// Phase 2: fetch the package of the latest version into a fresh temporary folder, unpack it
// there, give its top folder the installation folder's name, then hand over to phase 3.
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "archive/unzipper.h"
#include "host/install_path.h"
#include "host/temp_folder.h"
#include "net/id_http.h"
#include "net/stream.h"
#include "net/update_server.h"

namespace app {

namespace fs = std::filesystem;

void TfrmAutoUpdate::btnAvantiClick() {
    fase02();
}

void TfrmAutoUpdate::fase02() {
    std::string packageFile;
    bool ok = false;
    try {
        m_view.setTabVisible(Page::TabSheetFase01, Visibility::Hidden);
        m_view.setTabVisible(Page::TabSheetFase02, Visibility::Shown);
        m_view.setCaption(Label::LabelDownload, std::string(kTextDownloading));
        DR = host::GetTmpDir(LatestVID, m_host);
        DeleteTmpDir();
        FL = DR + LatestVID;
        packageFile = host::GetPackageFileName(LatestVID, m_host);
        if (!IdDownHTTP || !UpdateServer || !UnZipper) throw std::runtime_error("no components");
        const std::string url = UpdateServer->packageUrl(LatestVID);
        {
            net::FileStream file(packageFile);
            try {
                IdDownHTTP->Get(url, file);
            } catch (...) {
                file.Close();
                throw;
            }
            file.Close();
        }
        m_view.setCaption(Label::LabelDownload, std::string(kTextExtracting));
        m_view.processMessages();
        UnZipper->SetBaseDirectory(DR);
        UnZipper->SetFileName(packageFile);
        UnZipper->ExtractFiles("*.*");
        UnZipper->CloseArchive();
        // A package with an entry that could not be written is not installed in part.
        if (!UnZipper->FailedEntries().empty()) throw std::runtime_error("entries failed");
        std::error_code ec;
        fs::remove(packageFile, ec);
        const std::string target = DR + std::string(host::kInstallFolderName);
        // The rename is silent: no top folder of that name, or a target already there, leave
        // everything as it is.
        if (fs::is_directory(FL, ec) && !fs::exists(target, ec)) fs::rename(FL, target, ec);
        FL = target;
        ok = true;
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        if (UnZipper) UnZipper->CloseArchive();
        std::error_code ec;
        if (!packageFile.empty()) fs::remove(packageFile, ec);
        DeleteTmpDir();
        m_view.setCaption(Label::LabelDownload, std::string(kTextDownloadFailed));
        Outcome.fase02Failed = true;
        return;
    }
    fase03();
}

void TfrmAutoUpdate::IdDownHTTPWorkBegin(std::int64_t AWorkCountMax) {
    m_view.setDownloadBarMax(static_cast<std::int32_t>(static_cast<std::uint32_t>(AWorkCountMax)));
}

void TfrmAutoUpdate::IdDownHTTPWork(std::int64_t AWorkCount) {
    m_view.setDownloadBarPosition(static_cast<std::int32_t>(static_cast<std::uint32_t>(AWorkCount)));
    // N in 64-bit arithmetic shown as a signed 32-bit number; M in 32-bit arithmetic.
    const auto n = static_cast<std::int32_t>(static_cast<std::uint32_t>(AWorkCount / 1024));
    const std::int32_t m = m_view.downloadBarMax() / 1024;
    m_view.setCaption(Label::LabelDownload,
                      "Scaricato " + std::to_string(n) + "kb di " + std::to_string(m) + "kb");
    m_view.processMessages();
}

}  // namespace app
