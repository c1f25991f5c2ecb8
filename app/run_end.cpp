// The end of a run: its times, its exit status and its report, once.
#include "app/frm_auto_update.h"
#include "app/run_log.h"
#include "core/json.h"
#include "host/install_path.h"
#include "host/paths.h"

namespace app {

double TfrmAutoUpdate::SecondsSinceStart() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_runStart).count();
}

void TfrmAutoUpdate::EndRun(int exitStatus) {
    if (m_runEnded) return;
    m_runEnded = true;
    ExitStatus = exitStatus;
    Outcome.times.end = SecondsSinceStart();
    // The package stays cached for a rerun until an update has completed.
    if (exitStatus == 0 && !Outcome.fase02Failed && !Outcome.fase03Failed) PrunePackageCache();
    std::string file;
    if (!RunLogFile.empty()) {
        file = ReportFileFor(RunLogFile);
    } else if (host::ConfigFileExists(InstallPath)) {
        // A run that ended before phase 3 saved no run log; its report stands where the log
        // would have, beside and never over an earlier run's.
        const std::string base = FreeRunFileBase(
            InstallPath, (LatestVID.empty() ? "qlupdate" : LatestVID) + "." + RunLogStamp());
        if (!base.empty()) file = base + ".json";
    }
    if (file.empty()) return;
    ReportHeader h;
    h.kind = Kind;
    h.runId = RunId;
    h.started = RunStarted;
    h.finished = UtcNowText();
    h.installation = InstallPath;
    h.newVersion = LatestVID;
    h.verified = ReleaseVerified();
    h.jobs = Jobs;
    h.exitStatus = exitStatus;
    h.runLog = RunLogSaved ? RunLogFile : "";
    h.rerunOf = RerunOf;
    if (WriteTextFileWhole(file, core::json::write(ReportJson(h, Outcome)))) ReportFile = file;
}

}  // namespace app
