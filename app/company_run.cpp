#include "app/company_run.h"

#include <optional>

#include "app/safety_texts.h"
#include "app/schema_lock.h"
#include "core/exception.h"
#include "core/text.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "db/script.h"

namespace app {

std::vector<ScriptChoice> ChooseScripts(const std::vector<std::string>& list, std::string_view vid,
                                        bool serverTrigger, bool clientTrigger) {
    std::vector<ScriptChoice> chosen;
    for (const std::string& entry : list) {
        std::string kind = core::Trim(entry);
        std::string version = core::SplitAt(kind, '.');
        if (!core::VersionBefore(vid, version)) continue;
        const char* line =
            kind == "dbql" ? "Launch Script db = "
            : (kind == "trgql" && serverTrigger) || (kind == "trcql" && clientTrigger)
                ? "Launch Script trigger = "
                : nullptr;
        if (line) chosen.push_back({std::move(version), std::move(kind), line, {}, {}});
    }
    return chosen;
}

std::string LastListedVersion(const std::vector<std::string>& list) {
    if (list.empty()) return {};
    std::string last = core::Trim(list.back());
    return core::SplitAt(last, '.');
}

CompanyJob PhaseThreeJob(const std::string& dtdata, const std::string& dtvid, bool serverTrigger,
                         bool clientTrigger, const std::vector<std::string>& list,
                         const std::string& scriptFolder) {
    CompanyJob job;
    job.schema = core::Trim(dtdata);
    job.vid = core::Trim(dtvid);
    job.scripts = ChooseScripts(list, job.vid, serverTrigger, clientTrigger);
    job.lastVersion = LastListedVersion(list);
    job.scriptFolder = scriptFolder;
    return job;
}

bool ReopenIfLost(db::TMyConnection& connection, std::string& reason) {
    if (connection.Connected()) {
        // A session that was lost answers every statement with "gone away".
        try {
            connection.run("DO 0");
            return true;
        } catch (const std::exception&) {
            connection.Close();
        }
    }
    try {
        connection.Open();
        return true;
    } catch (const std::exception& e) {
        reason = core::messageOf(e);
        return false;
    }
}

namespace {

// _versione.VID after the company's scripts, through the survey's own query.
void readVersionAfter(db::TMyQuery& query, const std::string& schema, CompanyOutcome& outcome) {
    try {
        query.Close();
        query.MacroByName("database").Value = schema + "._versione";
        query.Open();
        if (!query.IsEmpty()) {
            outcome.versionAfter = query.FieldByName("VID").AsString();
            outcome.versionAfterRead = true;
        }
    } catch (const std::exception&) {
        // The report says the version was not read; the run itself goes on.
    }
    query.Close();
}

}  // namespace

namespace {

// Takes the company's lock on the lane's connection and reads its version again into `vid`;
// false (the company skipped, the reason logged) when another updater kept the lock for the
// whole wait.
bool lockCompany(CompanyLane& lane, const std::string& schema, std::string& vid,
                 std::optional<SchemaLock>& lock, CompanyOutcome& outcome) {
    lock.emplace(*lane.connection);
    std::string error;
    const SchemaLockResult r = lock->acquire(
        schema, lane.lockWaitSeconds,
        [&] { lane.addLog(std::string(kLogCompanyWaiting) + schema); }, lane.pump, error);
    switch (r) {
        case SchemaLockResult::Acquired:
            break;
        case SchemaLockResult::TimedOut:
            LogScriptFailure(lane.addLog, kLogCompanyBusy, schema);
            outcome.state = CompanyState::Skipped;
            outcome.reason = "another updater kept the company's lock";
            return false;
        case SchemaLockResult::Unavailable:
            // A server without user locks (a Galera cluster refuses them) still gets its
            // updates, as before the lock existed; the log says they ran unguarded.
            lane.addLog(std::string(kLogCompanyLockUnavailable) + error);
            return true;
    }
    if (const auto now = ReadCompanyVid(*lane.connection, schema); now && *now != vid) {
        vid = *now;
        lane.addLog(std::string(kLogCompanyVidChanged) + vid);
    }
    return true;
}

}  // namespace

void RunCompany(CompanyLane& lane, const CompanyJob& job, CompanyOutcome& outcome) {
    lane.addLog("Begin Apply Update For " + job.schema);
    lane.addLog("Current VID = " + job.vid);
    bool connectionChecked = false;
    std::string vid = job.vid;       // read again under the company's lock
    std::optional<SchemaLock> lock;  // held on the server while this company's scripts run
    for (const ScriptChoice& choice : job.scripts) {
        if (!connectionChecked && lane.connection) {
            connectionChecked = true;
            std::string reason;
            if (!ReopenIfLost(*lane.connection, reason)) {
                // Nothing of this company runs; the next company tries again.
                LogScriptFailure(lane.addLog, reason, job.schema);
                outcome.state = CompanyState::Skipped;
                outcome.reason = "no connection: " + reason;
                break;
            }
            // Another updater may have run this company's scripts since phase 1 read its
            // version.
            if (!lockCompany(lane, job.schema, vid, lock, outcome)) break;
        }
        if (vid != job.vid && !core::VersionBefore(vid, choice.version)) continue;
        lane.addLog(choice.logLine + choice.name());
        ScriptOutcome& record = outcome.scripts.emplace_back();
        record.name = choice.name();
        record.kind = choice.kind;
        record.only = choice.only;
        const std::string file = job.scriptFolder + choice.name();
        if (!choice.refusal.empty()) {
            LogScriptFailure(lane.addLog, choice.refusal, file);
            record.failure = choice.refusal;
        } else if (lane.runner) {
            LaunchUpdateScript(*lane.runner, job.schema, file, lane.bar, lane.addLog, &record);
        } else {
            LogScriptFailure(lane.addLog, "no script runner", file);
            record.failure = "no script runner";
            if (lane.bar.reset) lane.bar.reset();
        }
        if (!record.launched) ++outcome.failedScripts;
        outcome.failedStatements += static_cast<int>(record.failed.size());
    }
    lane.addLog("Last Update VID = " + job.lastVersion);
    lane.addLog("End Apply Update For " + job.schema);
    if (outcome.state == CompanyState::Skipped) return;
    outcome.state = outcome.failedStatements > 0 || outcome.failedScripts > 0
                        ? CompanyState::Failed
                        : CompanyState::Updated;
    if (job.scripts.empty()) {
        // Nothing of it ran: its version is the one the survey read.
        outcome.versionAfter = job.vid;
        outcome.versionAfterRead = true;
    } else if (lane.versionQuery && lane.connection && lane.connection->Connected()) {
        readVersionAfter(*lane.versionQuery, job.schema, outcome);
    }
}

}  // namespace app
