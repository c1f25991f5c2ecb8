// Per-company script application: which scripts of the list run for a company, and how the
// runner's progress and errors reach the window and the run log.
#include <algorithm>

#include "app/company_run.h"
#include "app/frm_auto_update.h"
#include "app/script_launch.h"
#include "app/texts.h"
#include "core/exception.h"
#include "core/text.h"
#include "db/my_connection.h"
#include "db/script.h"
#include "host/platform/text.h"

namespace app {

// The rule is the platform's: CompareStringW on Windows, its POSIX equivalent elsewhere.
int CompareScriptNames(std::string_view a, std::string_view b) {
    return host::compareNamesNoCase(a, b);
}

void AddScriptName(std::vector<std::string>& list, const std::string& name,
                   const std::function<bool(const std::string&, const std::string&)>& sameFile) {
    // Names equal but for letter case follow each other in the order of their bytes, so the
    // list does not depend on the order the folder lists them in.
    const auto before = [](const std::string& x, const std::string& y) {
        const int c = CompareScriptNames(x, y);
        return c != 0 ? c < 0 : x < y;
    };
    const auto [first, last] = std::equal_range(
        list.begin(), list.end(), name,
        [](const std::string& x, const std::string& y) { return CompareScriptNames(x, y) < 0; });
    for (auto it = first; it != last; ++it)
        if (*it == name || (sameFile && sameFile(*it, name))) return;
    list.insert(std::lower_bound(first, last, name, before), name);
}

CompanyOutcome& TfrmAutoUpdate::outcomeOfRow(std::size_t row, const CompanyRecord& record) {
    if (row < m_outcomeOfRow.size()) return Outcome.companies[m_outcomeOfRow[row]];
    // A row that did not come from the survey.
    CompanyOutcome added;
    added.schema = record.DTDATA;
    added.name = record.DTNAME;
    if (row == m_outcomeOfRow.size()) m_outcomeOfRow.push_back(Outcome.companies.size());
    Outcome.companies.push_back(std::move(added));
    return Outcome.companies.back();
}

CompanyLane TfrmAutoUpdate::SessionLane() {
    CompanyLane lane;
    lane.connection = MyLibs.get();
    lane.runner = dbScriptUpdater.get();
    lane.versionQuery = qryVersione.get();
    lane.addLog = [this](std::string_view l) { AddLog(l); };
    lane.lockWaitSeconds = Safety.schemaLockWaitSeconds;
    lane.pump = [this] { m_view.processMessages(); };
    lane.bar = {[this](int max) { m_view.setScriptBarMax(max); },
                [this] {
                    m_view.setScriptBarPosition(0);
                    m_view.setScriptBarMin(0);
                }};
    return lane;
}

void TfrmAutoUpdate::ApplyCompanies() {
    Outcome.scriptsApplied = true;
    if (!TabMem.Active()) return;
    // Schemas already updated in this run, ASCII case folded as a case-insensitive server
    // names them.
    std::vector<std::string> applied;
    std::vector<PlannedCompany> planned;
    for (std::size_t i = 0; i < TabMem.Rows().size(); ++i) {
        const CompanyRecord& row = TabMem.Rows()[i];
        CompanyOutcome& outcome = outcomeOfRow(i, row);
        const std::string key = core::asciiLower(core::Trim(row.DTDATA));
        if (std::find(applied.begin(), applied.end(), key) != applied.end()) {
            // Its scripts ran through the earlier row, from the version read in phase 1:
            // running them again would repeat every statement.
            outcome.state = CompanyState::Duplicate;
            outcome.reason = "schema already updated through an earlier row";
            continue;
        }
        applied.push_back(key);
        outcome.versionBefore = core::Trim(row.DTVID);
        outcome.serverTrigger = row.DTTRIG;
        outcome.clientTrigger = row.DTTRIN;
        planned.push_back({i, PhaseThreeJob(row.DTDATA, row.DTVID, row.DTTRIG, row.DTTRIN,
                                            ScriptList, ScriptFolder)});
    }
    RunPlannedCompanies(planned);
}

void TfrmAutoUpdate::ApplyCompanyUpdate(const CompanyRecord& row, CompanyOutcome& outcome) {
    CompanyLane lane = SessionLane();
    const CompanyJob job =
        PhaseThreeJob(row.DTDATA, row.DTVID, row.DTTRIG, row.DTTRIN, ScriptList, ScriptFolder);
    RunCompany(lane, job, outcome);
    Outcome.failedStatements += outcome.failedStatements;
}

bool TfrmAutoUpdate::LaunchScript(const std::string& pSchema, const std::string& pScriptFile) {
    CompanyLane lane = SessionLane();
    if (dbScriptUpdater)
        return LaunchUpdateScript(*dbScriptUpdater, pSchema, pScriptFile, lane.bar, lane.addLog);
    LogScriptFailure(lane.addLog, "no script runner", pScriptFile);
    lane.bar.reset();
    return false;
}

void TfrmAutoUpdate::dbScriptUpdaterAfterExecute(const std::string& /*SQL*/) {
    m_view.setScriptBarPosition(m_view.scriptBarPosition() + 1);
    m_view.updateScriptBar();
    m_view.processMessages();
}

void TfrmAutoUpdate::dbScriptUpdaterError(const std::exception& E, const std::string& SQL,
                                          db::TErrorAction& Action) {
    // The company's record counts the failure (RunCompany); the run's total follows from it.
    OnUpdateScriptError([this](std::string_view l) { AddLog(l); }, E, SQL, Action);
}

void TfrmAutoUpdate::MyLibsBeforeConnect(db::TMyConnection& Sender) {
    Sender.Server = DbSettings.Server;
    Sender.Username = "root";
    Sender.Password = DbSettings.RootPass;
    Sender.Database = kLibraryDatabase;
}

}  // namespace app
