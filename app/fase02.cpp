// Phase 2: the package of the latest version, from the package cache when a verified copy is
// there, else fetched (resumably) into it; unpacked into a fresh temporary folder, its top
// folder given the installation folder's name, then phase 3.
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/exit_status.h"
#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "archive/unzipper.h"
#include "host/install_path.h"
#include "host/install_state.h"
#include "host/paths.h"
#include "host/platform/file_names.h"
#include "host/temp_folder.h"
#include "net/id_exceptions.h"
#include "net/id_http.h"
#include "net/resumable_get.h"
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
        // A package that failed its checks or its unpacking is not kept (a download cut short
        // stays as its .part for the next run).
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
    PackageLogLine.clear();
    DR = host::GetTmpDir(LatestVID, m_host);
    DeleteTmpDir();
    // A fresh, empty temporary folder for the unpacked package.
    host::GetTmpDir(LatestVID, m_host);
    // Both joins refuse an identifier that would name a place outside the temporary folder.
    FL = host::JoinUnder(DR, LatestVID);
    packageFile = CachedPackageFile();
    if (FL.empty() || packageFile.empty()) return false;
    if (!IdDownHTTP || !UpdateServer || !UnZipper) return false;
    std::error_code ec;
    // A cached package is used only once it is verified: by the signed size and SHA-256 here,
    // or, without a signed release, by the CRC of every entry as it is unpacked.
    bool cached = fs::is_regular_file(host::fsPath(packageFile), ec);
    if (cached && !CheckDownloadedPackage(packageFile)) {
        fs::remove(host::fsPath(packageFile), ec);
        RefuseCachedPackage(m_fase02Refusal);
        m_fase02Refusal.clear();
        cached = false;
    }
    for (;;) {
        if (cached) {
            PackageLogLine = std::string(kTextCachedPackage) + packageFile;
            m_view.setCaption(Label::LabelDownload, PackageLogLine);
        } else {
            if (!DownloadPackage(packageFile)) return false;
            // Nothing of a package that is not the signed one is extracted.
            if (!CheckDownloadedPackage(packageFile)) return false;
        }
        m_view.setCaption(Label::LabelDownload, std::string(kTextExtracting));
        m_view.processMessages();
        if (UnpackPackage(packageFile)) break;
        // An unsigned cached package whose entries fail is fetched once more, into a fresh
        // temporary folder; a fresh or signed one fails the phase.
        if (!cached || Release) return false;
        fs::remove(host::fsPath(packageFile), ec);
        RefuseCachedPackage(Outcome.failedEntries.empty() ? std::string(kTextUnreadableArchive)
                                                          : Outcome.failedEntries.front());
        Outcome.failedEntries.clear();
        DeleteTmpDir();
        DR = host::GetTmpDir(LatestVID, m_host);
        cached = false;
    }
    const std::string target = DR + std::string(host::kInstallFolderName);
    // The rename is silent: no top folder of that name, or a target already there, leave
    // everything as it is.
    if (fs::is_directory(host::fsPath(FL), ec) && !fs::exists(host::fsPath(target), ec))
        fs::rename(host::fsPath(FL), host::fsPath(target), ec);
    FL = target;
    return true;
}

void TfrmAutoUpdate::RefuseCachedPackage(const std::string& why) {
    // Said at once and again in the run log, whose first lines phase 3 writes.
    PackageLogLine = std::string(kTextCachedPackageRefused) + OneLine(why);
    m_view.setCaption(Label::LabelDownload, PackageLogLine);
    m_view.processMessages();
}

std::string TfrmAutoUpdate::CachedPackageFile() const {
    if (InstallPath.empty()) return "";
    return host::JoinUnder(host::PackageFolder(InstallPath), LatestVID + ".qlzip");
}

bool TfrmAutoUpdate::DownloadPackage(const std::string& packageFile) {
    std::error_code ec;
    if (!host::EnsureStateFolder(InstallPath, ec)) return false;
    fs::create_directory(host::fsPath(host::PackageFolder(InstallPath)), ec);
    net::ResumeSettings settings;
    settings.attempts = std::max(1, Safety.downloadAttempts);
    settings.firstPause = Safety.firstRetryPause;
    // A signed release's package is refused as soon as it outgrows its signed size.
    if (Release) settings.limit = static_cast<std::int64_t>(Release->size);
    settings.onRetry = [this](const std::string& why, int next, int attempts,
                              std::chrono::milliseconds pause) {
        // One log line per interruption: why it stopped, then when the next attempt starts.
        AddLog(std::string(kTextDownloadInterrupted) + OneLine(why) +
               std::string(kTextDownloadRetry) + std::to_string(next) + " di " +
               std::to_string(attempts) + " tra " + std::to_string(pause.count()) + " ms)");
    };
    const std::string part = net::PartFileOf(packageFile);
    try {
        net::GetResumable(*IdDownHTTP, UpdateServer->packageUrl(LatestVID), packageFile, settings);
    } catch (const net::EStreamTooLarge&) {
        NotePackageTooLarge();
        fs::remove(host::fsPath(part), ec);
        fs::remove(host::fsPath(net::PartTagFileOf(packageFile)), ec);
        return false;
    } catch (const std::exception& e) {
        // The last interruption (a server silent for the idle time-out, a lost connection, an
        // HTTP error) says the download failed; the .part stays, so the next run goes on from
        // where this one stopped. Phase 3 starts its log afresh: the line is the console's.
        AddLog(std::string(kTextDownloadGaveUp) + OneLine(e.what()));
        return false;
    }
    fs::rename(host::fsPath(part), host::fsPath(packageFile), ec);
    return !ec;
}

void TfrmAutoUpdate::PrunePackageCache() {
    if (InstallPath.empty()) return;
    const std::string keep = CachedPackageFile();
    std::error_code ec;
    for (fs::directory_iterator it(host::fsPath(host::PackageFolder(InstallPath)), ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code removeEc;
        if (keep.empty() || !fs::equivalent(it->path(), host::fsPath(keep), removeEc))
            fs::remove(it->path(), removeEc);
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
