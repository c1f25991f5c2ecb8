// Phase 3's companies: one after the other on the session's own lane (Jobs 1), or side by side
// on lanes of their own (Jobs > 1). Either way every view call happens on this thread.
#include "app/company_jobs.h"
#include "app/frm_auto_update.h"
#include "db/my_connection.h"

namespace app {

void TfrmAutoUpdate::RunPlannedCompanies(std::vector<PlannedCompany>& planned) {
    const std::size_t count = planned.size();
    const auto outcomeOf = [&](std::size_t k) -> CompanyOutcome& {
        const std::size_t row = planned[k].row;
        return outcomeOfRow(row, TabMem.Rows()[row]);
    };
    const auto show = [&](std::size_t k) {
        m_view.companyStateChanged({planned[k].row, k + 1, count, &outcomeOf(k)});
    };

    if (Jobs <= 1 || count <= 1 || !MyLibs) {
        CompanyLane lane = SessionLane();
        for (std::size_t k = 0; k < count; ++k) {
            CompanyOutcome& outcome = outcomeOf(k);
            outcome.state = CompanyState::Running;
            show(k);
            RunCompany(lane, planned[k].job, outcome);
            Outcome.failedStatements += outcome.failedStatements;
            show(k);
        }
        return;
    }

    // The session's connection opens with the settings of its before-connect handler; the
    // workers' connections get a copy of them, taken here.
    db::TMyConnection settingsOf("MyLibs");
    MyLibsBeforeConnect(settingsOf);
    const LaneSettings settings{settingsOf.Server,           MyLibs->Port,
                                settingsOf.Username,         settingsOf.Password,
                                settingsOf.Database,         MyLibs->ConnectionTimeout,
                                Safety.schemaLockWaitSeconds};
    std::vector<CompanyWork> work;
    work.reserve(count);
    for (std::size_t k = 0; k < count; ++k) work.push_back({planned[k].job, outcomeOf(k)});

    // pBarScript counts companies here: the statements of several scripts at once make no bar.
    m_view.setScriptBarMin(0);
    m_view.setScriptBarMax(static_cast<int>(count));
    m_view.setScriptBarPosition(0);
    CompanyEvents events;
    events.started = [&](std::size_t k) {
        outcomeOf(k).state = CompanyState::Running;
        show(k);
    };
    events.finished = [&](std::size_t k, CompanyOutcome& outcome, std::vector<std::string>& lines) {
        for (const std::string& line : lines) AddLog(line);
        outcomeOf(k) = std::move(outcome);
        Outcome.failedStatements += outcomeOf(k).failedStatements;
        show(k);
        m_view.setScriptBarPosition(static_cast<int>(k + 1));
        m_view.updateScriptBar();
    };
    events.idle = [this] { m_view.processMessages(); };
    RunCompaniesInParallel(work, settings, Jobs, events);
    m_view.setScriptBarPosition(0);
}

}  // namespace app
