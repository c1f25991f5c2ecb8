#include "app/console_run.h"

#include <cstdio>

#include "app/console_view.h"
#include "app/exit_status.h"
#include "app/update_plan.h"
#include "app/updater_factory.h"
#include "core/json.h"
#include "host/platform/terminal.h"

namespace app {

namespace {

ConsoleSettings settingsFor(const UpdaterOptions& o) {
    ConsoleSettings s;
    // With the plan as JSON on standard output, everything else goes to standard error.
    const bool toError = o.plan && o.json;
    const host::StdStream stream = toError ? host::StdStream::Error : host::StdStream::Output;
    s.out = toError ? stderr : stdout;
    s.in = stdin;
    s.yes = o.yes;
    s.quiet = o.quiet;
    s.terminal = host::isTerminal(stream);
    const int columns = host::terminalColumns(stream);
    s.columns = columns > 0 ? columns : 80;
    return s;
}

// Where the run's report went; part of the summary.
void noteReport(ConsoleView& view, const TfrmAutoUpdate& session) {
    if (!session.ReportFile.empty())
        view.note("Rapporto: " + session.ReportFile, true);
    else
        view.note("Rapporto non salvato", true);
}

int runUpdate(ConsoleView& view, TfrmAutoUpdate& session) {
    session.FormCreate();
    RunOutcome& out = session.Outcome;
    view.printSurvey(out);
    int rc = kExitComplete;
    if (!out.fase01Ok) {
        rc = ExitStatusOf(out);
    } else if (!view.askAvanti()) {
        out.declined = true;
        rc = kExitDeclined;
    } else {
        session.btnAvantiClick();
        rc = ExitStatusOf(out);
        view.printSummary(out);
    }
    // Phases 2 and 3 end the run themselves; a run that stopped before them ends here.
    session.EndRun(rc);
    noteReport(view, session);
    return rc;
}

int runPlan(ConsoleView& view, TfrmAutoUpdate& session, bool json) {
    session.FormCreate();
    view.printSurvey(session.Outcome);
    if (!session.Outcome.fase01Ok) return ExitStatusOf(session.Outcome);
    UpdatePlan plan;
    if (!session.MakePlan(plan)) return kExitFase02Failed;
    if (json) {
        const std::string text = core::json::write(PlanJson(plan));
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    } else {
        for (const std::string& line : PlanText(plan)) view.note(line, true);
    }
    return kExitComplete;
}

int runOnlyFailed(ConsoleView& view, TfrmAutoUpdate& session) {
    std::string why;
    if (!session.RerunUnfinished(why)) {
        view.note("Riesecuzione non possibile: " + why, true);
        return session.Outcome.installLocked ? kExitInstallLocked : kExitFase01Failed;
    }
    RunOutcome& out = session.Outcome;
    if (!out.scriptsApplied) {
        view.note("Nessuna ditta da riprendere: l'ultimo rapporto le dà tutte aggiornate", true);
        return kExitComplete;
    }
    const int rc = ExitStatusOf(out);
    view.printSummary(out);
    session.EndRun(rc);
    noteReport(view, session);
    return rc;
}

// qlupdate --rollback: the last backup's files back in place.
int runRollback(TfrmAutoUpdate& session) {
    switch (session.RunRollback()) {
        case RollbackOutcome::Done:
            return kExitComplete;
        case RollbackOutcome::NoBackup:
            return kExitNoBackup;
        case RollbackOutcome::Locked:
            return kExitInstallLocked;
        case RollbackOutcome::Failed:
            break;
    }
    return kExitRollbackFailed;
}

}  // namespace

int RunConsole(UpdaterOptions options) {
    options.console = true;  // also without --console when there is no display
    ConsoleView view(settingsFor(options));
    auto session = createUpdater(view, options);
    int rc = kExitComplete;
    if (options.rollback)
        rc = runRollback(*session);
    else if (options.plan)
        rc = runPlan(view, *session, options.json);
    else if (options.onlyFailed)
        rc = runOnlyFailed(view, *session);
    else
        rc = runUpdate(view, *session);
    session->FormDestroy();
    return rc;
}

}  // namespace app
