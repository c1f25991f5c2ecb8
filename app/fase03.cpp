// Phase 3: stop the product, copy the unpacked tree over the installation, run the scripts
// for every company, start the product again, save the run log and clean up.
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/exit_status.h"
#include "app/frm_auto_update.h"
#include "app/run_log.h"
#include "app/texts.h"
#include "core/text.h"
#include "host/paths.h"
#include "host/platform/file_names.h"
#include "host/platform/files.h"
#include "host/services.h"
#include "host/tree_ops.h"
#include "host/tree_survey.h"

namespace app {

namespace fs = std::filesystem;

namespace {

// The image names of the ServiceTable entries a snapshot marks, in table order.
void NoteServices(const host::RunningSnapshot& marked, std::vector<std::string>& names) {
    names.clear();
    for (std::size_t i = 0; i < host::ServiceTable.size(); ++i)
        if (marked[i]) names.emplace_back(host::ServiceTable[i].imageName);
}

}  // namespace

void TfrmAutoUpdate::fase03() {
    Outcome.times.install = SecondsSinceStart();
    try {
        AddLog(std::string_view("\0", 1));
        // The log's first line says whether the update was verified.
        if (!TrustLogLine.empty()) AddLog(TrustLogLine);
        if (!RecoveryLogLine.empty()) AddLog(RecoveryLogLine);
        if (!PackageLogLine.empty()) AddLog(PackageLogLine);
        m_view.setTabVisible(Page::TabSheetFase02, Visibility::Hidden);
        m_view.setTabVisible(Page::TabSheetFase03, Visibility::Shown);
        ScriptList.clear();
    } catch (...) {
        Outcome.fase03Failed = true;
        EndRun(ExitStatusOf(Outcome));
        ShowInstallFailure();
        return;
    }
    bool copyOk = false;
    const bool stepsOk = InstallAndMigrate(copyOk);
    const bool closingOk = ClosingSteps();
    // A failed copy leaves the installation as it was: the run is not reported as done.
    if (!stepsOk || !closingOk || !copyOk) {
        Outcome.fase03Failed = true;
        EndRun(ExitStatusOf(Outcome));
        ShowInstallFailure();
        return;
    }
    Outcome.fase03Complete = true;
    EndRun(ExitStatusOf(Outcome));
    if (m_view.askOkCancel(std::string(kTextInstallOkQuestion))) m_view.terminate();
}

bool TfrmAutoUpdate::InstallAndMigrate(bool& copyOk) {
    try {
        m_running = {};
        host::StopServices([this](const std::string& line) { AddLog(line); }, m_running);
        NoteServices(m_running, Outcome.stopped);
        // The package's tree goes into the installation folder itself, whatever its name and
        // however often "Ostrel" occurs in its path.
        AddLog("Copy update dirercory in " + InstallPath);
        std::string errorText;
        Outcome.packageFiles = host::SurveyMerge(FL, InstallPath);
        copyOk = InstallPackageTree(errorText);  // staged, with a backup
        Outcome.filesCopied = copyOk;
        if (!errorText.empty()) AddLog("Errore Copia Cartella: " + errorText);
        LoadScripts();
        Outcome.times.scripts = SecondsSinceStart();
        ApplyCompanies();
        Outcome.times.scriptsEnd = SecondsSinceStart();
        if (copyOk) {
            m_view.setCaption(Label::LabelInstall, std::string(kTextInstallOk));
            m_view.processMessages();
            m_view.setButtonEnabled(Button::btnFine, Enablement::Enabled);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool TfrmAutoUpdate::ClosingSteps() {
    try {
        ScriptList.clear();
        host::RunningSnapshot restarted{};
        host::RestartServices([this](const std::string& line) { AddLog(line); }, m_running,
                              host::systemTicks(), &restarted);
        NoteServices(restarted, Outcome.restarted);
        const std::string logFile =
            host::JoinUnder(InstallPath, LatestVID + "." + RunLogStamp() + ".uplog");
        RunLogFile = logFile;
        // The temporary folder stays when the run log could not be saved.
        if (logFile.empty() || !m_view.saveLogToFile(logFile)) return false;
        RunLogSaved = true;
        DeleteTmpDir();
        return true;
    } catch (...) {
        return false;
    }
}

void TfrmAutoUpdate::ShowInstallFailure() {
    m_view.setFontColor(Label::LabelInstall, FontColor::Red);
    m_view.setFontStyle(Label::LabelInstall, FontStyle::Bold);
    m_view.setCaption(Label::LabelInstall, std::string(kTextInstallFailed));
    m_view.processMessages();
    (void)m_view.askOkCancel(std::string(kTextInstallFailedNotice));
}

void TfrmAutoUpdate::LoadScripts() {
    AddLog("Load Script Update");
    ScriptFolder = InstallPath + "Update/";
    ListScriptFolder(ScriptFolder, ScriptList);
}

void TfrmAutoUpdate::ListScriptFolder(const std::string& folder, std::vector<std::string>& list) {
    // On a case-sensitive file system 2014d.dbql and 2014D.DBQL are two files and both stay.
    const auto sameFile = [&folder](const std::string& a, const std::string& b) {
        std::error_code ec;
        return a == b || fs::equivalent(host::fsPath(folder + a), host::fsPath(folder + b), ec);
    };
    for (std::string_view ext : {".dbql", ".trgql", ".trcql"}) {
        std::error_code ec;
        for (fs::directory_iterator it(host::fsPath(folder), ec), end; !ec && it != end;
             it.increment(ec)) {
            std::error_code dec;
            if (it->is_directory(dec)) continue;
            const std::string name = host::pathText(it->path().filename());
            // "*.dbql" as the Windows search matches it: the name ends so, in any letter case.
            if (name.size() >= ext.size() &&
                core::equalsNoCaseAscii(std::string_view(name).substr(name.size() - ext.size()),
                                        ext))
                AddScriptName(list, name, sameFile);
        }
    }
}

}  // namespace app
