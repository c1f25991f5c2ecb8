// --plan: phase 2's download and unpacking, then what phase 3 would do with the package, found
// without doing any of it. The temporary folder goes afterwards; the package stays cached.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "app/update_plan.h"
#include "core/text.h"
#include "host/install_state.h"
#include "host/platform/file_names.h"

namespace app {

namespace fs = std::filesystem;

bool TfrmAutoUpdate::MakePlan(UpdatePlan& plan) {
    std::string packageFile;
    bool ok = false;
    try {
        ok = DownloadAndUnpack(packageFile);
        if (ok) {
            plan.installation = InstallPath;
            plan.newVersion = LatestVID;
            plan.verified = ReleaseVerified();
            // After the copy the installation's script folder holds its own scripts and the
            // package's.
            ListScriptFolder(InstallPath + "Update/", plan.scriptList);
            ListScriptFolder(FL + "/Update/", plan.scriptList);
            plan.files = host::SurveyMerge(FL, InstallPath);
            plan.running = host::LookAtServices();
            plan.backup = host::BackupFolder(InstallPath, ReplacedVersion());
            plan.unfinishedInstall = Outcome.recovery == "pending";
            plan.surveyEnded = Outcome.surveyEnded;
            // The survey's rows in its order; those it could not read have no TabMem row.
            std::vector<std::size_t> rowOf(Outcome.companies.size(), TabMem.Rows().size());
            for (std::size_t row = 0; row < m_outcomeOfRow.size(); ++row)
                rowOf[m_outcomeOfRow[row]] = row;
            std::vector<std::string> applied;
            for (std::size_t i = 0; i < Outcome.companies.size(); ++i) {
                const CompanyOutcome& c = Outcome.companies[i];
                CompanyPlan p;
                p.schema = c.schema;
                p.name = c.name;
                if (rowOf[i] >= TabMem.Rows().size()) {
                    p.action = "skipped";
                    p.reason = c.reason;
                    plan.companies.push_back(std::move(p));
                    continue;
                }
                const CompanyRecord& r = TabMem.Rows()[rowOf[i]];
                p.version = core::Trim(r.DTVID);
                p.serverTrigger = r.DTTRIG;
                p.clientTrigger = r.DTTRIN;
                const std::string key = core::asciiLower(core::Trim(r.DTDATA));
                if (std::find(applied.begin(), applied.end(), key) != applied.end()) {
                    p.action = "duplicate";
                } else {
                    applied.push_back(key);
                    p.scripts = ChooseScripts(plan.scriptList, p.version, r.DTTRIG, r.DTTRIN);
                    p.action = p.scripts.empty() ? "current" : "update";
                }
                plan.companies.push_back(std::move(p));
            }
        }
    } catch (...) {
        ok = false;
    }
    // The package stays in the package cache for the update that follows the plan, unless it
    // failed its checks.
    std::error_code ec;
    if (!ok && !packageFile.empty()) fs::remove(host::fsPath(packageFile), ec);
    DeleteTmpDir();
    if (!ok) {
        m_view.setCaption(Label::LabelDownload, std::string(kTextDownloadFailed));
        Outcome.fase02Failed = true;
    }
    return ok;
}

}  // namespace app
