// Phase 3's copy as a staged install with a backup of the version it replaces; the recovery of
// an install that an earlier run left unfinished; `qlupdate --rollback`.
#include <filesystem>
#include <string>
#include <system_error>

#include "app/frm_auto_update.h"
#include "app/safety_texts.h"
#include "app/version_id.h"
#include "host/install_lock.h"
#include "host/install_path.h"
#include "host/install_state.h"
#include "host/paths.h"
#include "host/platform/file_names.h"
#include "host/shell_errors.h"
#include "host/staged_install.h"

namespace app {
namespace {

std::string runningText(const host::RunningSnapshot& running) {
    std::string s;
    for (bool r : running) s += r ? '1' : '0';
    return s;
}

host::RunningSnapshot runningFrom(std::string_view text) {
    host::RunningSnapshot running{};
    for (std::size_t i = 0; i < running.size() && i < text.size(); ++i) running[i] = text[i] == '1';
    return running;
}

}  // namespace

host::FileOpHook TfrmAutoUpdate::FaultHook() const {
    if (!Safety.faultAfterFileOps) return {};
    return host::KillAfterFileOps(*Safety.faultAfterFileOps);
}

std::string TfrmAutoUpdate::ReplacedVersion() const {
    if (auto v = host::InstalledVersion(InstallPath); v && IsSafeVersionId(*v) && !v->empty())
        return *v;
    // Before the first staged install nothing says which version the files are (the
    // companies' versions say what their schemas reached, not what the files are).
    return std::string(kUnknownVersion);
}

bool TfrmAutoUpdate::InstallPackageTree(std::string& errorText) {
    const host::StagedResult r = host::StagedMergeTree(
        {FL, InstallPath, ReplacedVersion(), LatestVID, runningText(m_running), FaultHook()});
    errorText = host::ShellErrorText(r.code);
    if (r.code == 0) {
        if (auto v = host::LastBackupVersion(InstallPath))
            Outcome.backupFolder = host::BackupFolder(InstallPath, *v);
    }
    if (r.restored) AddLog(kLogInstallRestored);
    if (r.restoreFailed) AddLog(std::string(kLogInstallNotRestored) + r.restoreError);
    return r.code == 0;
}

bool TfrmAutoUpdate::RecoverInstallation() {
    if (PlanOnly) {
        std::error_code ec;
        if (std::filesystem::exists(host::fsPath(host::JournalPath(InstallPath)), ec))
            Outcome.recovery = "pending";
        return true;
    }
    const host::Recovery r = host::RecoverInstallation(InstallPath, FaultHook());
    std::string note;
    switch (r.action) {
        case host::RecoveryAction::None:
            return true;
        case host::RecoveryAction::Restored:
            Outcome.recovery = "restored";
            note = std::string(kLogRecoveredInstall) + r.journal.from;
            break;
        case host::RecoveryAction::Completed:
            Outcome.recovery = "completed";
            note = std::string(kLogCompletedInstall) + r.journal.to;
            break;
        case host::RecoveryAction::RolledBack:
            Outcome.recovery = "rolled back";
            note = std::string(kLogCompletedRollback) + r.journal.to;
            break;
        case host::RecoveryAction::Failed:
            Outcome.recovery = "failed";
            AddLog(std::string(kLogRecoveryFailed) + r.error);
            m_view.setCaption(Label::LabelStatus, std::string(kTextRecoveryFailed));
            return false;
    }
    RecoveryLogLine = note;
    AddLog(note);
    // The interrupted run had stopped the product: what ran before it runs again.
    if (r.action != host::RecoveryAction::Completed)
        host::RestartServices([this](const std::string& line) { AddLog(line); },
                              runningFrom(r.journal.running));
    return true;
}

RollbackOutcome TfrmAutoUpdate::RunRollback() {
    InstallPath = StartInstallPath ? host::IncludeTrailingPathDelimiter(*StartInstallPath)
                                   : host::DefaultInstallPath(m_host);
    if (!ClaimInstallation())
        return Outcome.installLocked ? RollbackOutcome::Locked : RollbackOutcome::Failed;
    if (!host::LastBackupVersion(InstallPath)) {
        AddLog(kLogNoBackup);
        return RollbackOutcome::NoBackup;
    }
    m_running = {};
    host::StopServices([this](const std::string& line) { AddLog(line); }, m_running);
    const host::Rollback r =
        host::RollbackInstallation(InstallPath, runningText(m_running), FaultHook());
    if (r.status == host::RollbackStatus::Done)
        AddLog(std::string(kLogRolledBack) + r.version);
    else
        AddLog(std::string(kLogRollbackFailed) + r.error);
    host::RestartServices([this](const std::string& line) { AddLog(line); }, m_running);
    AddLog(kLogScriptsNotUndone);
    return r.status == host::RollbackStatus::Done ? RollbackOutcome::Done : RollbackOutcome::Failed;
}

}  // namespace app
