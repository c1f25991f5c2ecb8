// One company's share of phase 3: which scripts of the list it gets, and running them on a
// lane (a connection, a runner on it, where the log lines go). Phase 3 runs companies on the
// session's own lane one after the other, or on lanes of their own on worker threads (--jobs);
// --only-failed runs a chosen part of a company's scripts the same way.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_outcome.h"
#include "app/script_launch.h"

namespace db {
class TMyConnection;
class TMyQuery;
class TMyScript;
}  // namespace db

namespace app {

// One script that runs for a company, with its run log line.
struct ScriptChoice {
    std::string version;            // the part of the name before its first "."
    std::string kind;               // the rest
    const char* logLine = nullptr;  // "Launch Script db = " or "Launch Script trigger = "
    // Statement numbers to run (from 1); empty: all of them.
    std::vector<int> only;
    // Why the script must not be launched; "" to launch it. Logged like a failed launch.
    std::string refusal;

    std::string name() const { return version + "." + kind; }
};

// The scripts of `list` that run for a company at version `vid`: a newer version and a kind it
// takes ("dbql" always, "trgql" with the server trigger, "trcql" with the client trigger).
std::vector<ScriptChoice> ChooseScripts(const std::vector<std::string>& list, std::string_view vid,
                                        bool serverTrigger, bool clientTrigger);
// The version part of the last name of the list, whether or not that script runs; "" when
// the list is empty.
std::string LastListedVersion(const std::vector<std::string>& list);

// What a company's scripts run on. Any pointer may be null: a missing connection is not
// checked, a missing runner makes every launch fail, a missing query leaves the version after
// unread. Everything a lane touches belongs to it, so lanes run side by side.
struct CompanyLane {
    db::TMyConnection* connection = nullptr;
    db::TMyScript* runner = nullptr;
    db::TMyQuery* versionQuery = nullptr;  // the survey's _versione query on `connection`
    LogLine addLog;
    ScriptBar bar;
    // Before its first script a company's lock is taken on the server (app/schema_lock.h), so
    // that two updaters never run one company's scripts at once: how long to wait for another
    // updater, and what runs between tries (the view's messages on the main thread; nothing on
    // a worker).
    int lockWaitSeconds = 0;
    std::function<void()> pump;
};

struct CompanyJob {
    std::string schema;  // trimmed DTDATA
    std::string vid;     // trimmed DTVID
    std::vector<ScriptChoice> scripts;
    std::string lastVersion;   // for "Last Update VID = "
    std::string scriptFolder;  // with its trailing separator
};

// The job phase 3 gives a company row.
CompanyJob PhaseThreeJob(const std::string& dtdata, const std::string& dtvid, bool serverTrigger,
                         bool clientTrigger, const std::vector<std::string>& list,
                         const std::string& scriptFolder);

// Runs a job: "Begin Apply Update For ", "Current VID = ", per script its launch line and the
// script, "Last Update VID = ", "End Apply Update For ". Before the first script the
// connection is checked and opened again when lost; when that fails nothing of the company
// runs (Skipped). Then the company's lock is taken and its version read again: when another
// updater kept the lock nothing runs (Skipped); when the version moved on, the scripts it
// has passed are left out. `outcome` gets every script with its statements and failures, the counts
// and the state; after the scripts the company's version is read again.
void RunCompany(CompanyLane& lane, const CompanyJob& job, CompanyOutcome& outcome);

// A connection that was lost (a download longer than the server's idle time-out, a restart of
// the server) is opened again; false with the reason when that fails.
bool ReopenIfLost(db::TMyConnection& connection, std::string& reason);

}  // namespace app
