// Phase 2: fetch the package of the latest version into a fresh temporary folder, unpack it
// there, give its top folder the installation folder's name, then hand over to phase 3.
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/bounded_stream.h"
#include "app/exit_status.h"
#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "archive/unzipper.h"
#include "host/install_path.h"
#include "host/paths.h"
#include "host/platform/file_names.h"
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
    Outcome.times.download = SecondsSinceStart();
    std::string packageFile;
    bool ok = false;
    m_fase02Refusal.clear();
    try {
        ok = DownloadAndUnpack(packageFile);
    } catch (...) {
        ok = false;  // a component failing in a way its step does not expect
    }
    if (!ok) {
        std::error_code ec;
        if (!packageFile.empty()) fs::remove(host::fsPath(packageFile), ec);
        DeleteTmpDir();
        // A package that is not the signed one says so; the phase's own failures keep its text.
        m_view.setCaption(Label::LabelDownload, m_fase02Refusal.empty()
                                                    ? std::string(kTextDownloadFailed)
                                                    : m_fase02Refusal);
        Outcome.fase02Failed = true;
        EndRun(ExitStatusOf(Outcome));
        return;
    }
    fase03();
}

bool TfrmAutoUpdate::DownloadAndUnpack(std::string& packageFile) {
    m_view.setTabVisible(Page::TabSheetFase01, Visibility::Hidden);
    m_view.setTabVisible(Page::TabSheetFase02, Visibility::Shown);
    m_view.setCaption(Label::LabelDownload, std::string(kTextDownloading));
    DR = host::GetTmpDir(LatestVID, m_host);
    DeleteTmpDir();
    // Both joins refuse an identifier that would name a place outside the temporary folder.
    FL = host::JoinUnder(DR, LatestVID);
    packageFile = host::GetPackageFileName(LatestVID, m_host);
    if (FL.empty() || packageFile.empty()) return false;
    if (!IdDownHTTP || !UpdateServer || !UnZipper) return false;
    if (!DownloadPackage(packageFile)) return false;
    // Nothing of a package that is not the signed one is extracted.
    if (!CheckDownloadedPackage(packageFile)) return false;
    m_view.setCaption(Label::LabelDownload, std::string(kTextExtracting));
    m_view.processMessages();
    if (!UnpackPackage(packageFile)) return false;
    std::error_code ec;
    fs::remove(host::fsPath(packageFile), ec);
    const std::string target = DR + std::string(host::kInstallFolderName);
    // The rename is silent: no top folder of that name, or a target already there, leave
    // everything as it is.
    if (fs::is_directory(host::fsPath(FL), ec) && !fs::exists(host::fsPath(target), ec))
        fs::rename(host::fsPath(FL), host::fsPath(target), ec);
    FL = target;
    return true;
}

bool TfrmAutoUpdate::DownloadPackage(const std::string& packageFile) {
    try {
        net::FileStream file(packageFile);
        // A signed release's package is refused as soon as it outgrows its signed size.
        std::optional<BoundedStream> bounded;
        if (Release) bounded.emplace(file, static_cast<std::int64_t>(Release->size));
        try {
            IdDownHTTP->Get(UpdateServer->packageUrl(LatestVID),
                            bounded ? static_cast<net::Stream&>(*bounded) : file);
        } catch (const std::exception& e) {
            // Why the download stopped (a server silent for the idle time-out, a lost
            // connection) goes to the log; phase 3 starts its log afresh.
            AddLog("Download interrotto: " + OneLine(e.what()));
            file.Close();
            if (bounded && bounded->exceeded()) NotePackageTooLarge();
            return false;
        } catch (...) {
            file.Close();
            if (bounded && bounded->exceeded()) NotePackageTooLarge();
            return false;
        }
        file.Close();
        return true;
    } catch (...) {
        return false;  // the file could not be created or closed
    }
}

bool TfrmAutoUpdate::UnpackPackage(const std::string& packageFile) {
    bool ok = false;
    try {
        UnZipper->SetBaseDirectory(DR);
        UnZipper->SetFileName(packageFile);
        UnZipper->ExtractFiles("*.*");
        // Any entry that failed (bad CRC, unsafe name, unsupported method, not writable) fails
        // the phase: a package is installed whole or not at all. CloseArchive empties the list,
        // so it is read first.
        for (const archive::FailedEntry& f : UnZipper->FailedEntries())
            Outcome.failedEntries.push_back(f.name + ": " + f.message);
        ok = UnZipper->FailedEntries().empty();
    } catch (...) {
        ok = false;
    }
    UnZipper->CloseArchive();
    return ok;
}

void TfrmAutoUpdate::IdDownHTTPWorkBegin(std::int64_t AWorkCountMax) {
    m_view.downloadStarted(AWorkCountMax);
    m_view.setDownloadBarMax(static_cast<std::int32_t>(static_cast<std::uint32_t>(AWorkCountMax)));
}

void TfrmAutoUpdate::IdDownHTTPWork(std::int64_t AWorkCount) {
    m_view.downloadProgress(AWorkCount);
    m_view.setDownloadBarPosition(
        static_cast<std::int32_t>(static_cast<std::uint32_t>(AWorkCount)));
    // N in 64-bit arithmetic shown as a signed 32-bit number; M in 32-bit arithmetic.
    const auto n = static_cast<std::int32_t>(static_cast<std::uint32_t>(AWorkCount / 1024));
    const std::int32_t m = m_view.downloadBarMax() / 1024;
    m_view.setCaption(Label::LabelDownload,
                      "Scaricato " + std::to_string(n) + "kb di " + std::to_string(m) + "kb");
    m_view.processMessages();
}

}  // namespace app
