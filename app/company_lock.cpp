// A company's scripts run under its lock on the server, from the version its schema holds once
// the lock is taken.
#include "app/frm_auto_update.h"
#include "app/safety_texts.h"
#include "app/schema_lock.h"
#include "app/script_launch.h"
#include "db/my_connection.h"

namespace app {

bool TfrmAutoUpdate::LockCompany(const std::string& schema, std::string& vid,
                                 std::optional<SchemaLock>& lock, CompanyOutcome& outcome) {
    if (!MyLibs) return true;  // a session without a connection has nothing to lock
    lock.emplace(*MyLibs);
    std::string error;
    const SchemaLockResult r = lock->acquire(
        schema, Safety.schemaLockWaitSeconds,
        [&] { AddLog(std::string(kLogCompanyWaiting) + schema); },
        [this] { m_view.processMessages(); }, error);
    switch (r) {
        case SchemaLockResult::Acquired:
            break;
        case SchemaLockResult::TimedOut:
            LogScriptFailure([this](std::string_view l) { AddLog(l); }, kLogCompanyBusy, schema);
            outcome.state = CompanyState::Skipped;
            outcome.reason = "another updater kept the company's lock";
            return false;
        case SchemaLockResult::Unavailable:
            // A server without user locks (a Galera cluster refuses them) still gets its
            // updates, as before the lock existed; the log says they ran unguarded.
            AddLog(std::string(kLogCompanyLockUnavailable) + error);
            return true;
    }
    if (const auto now = ReadCompanyVid(*MyLibs, schema); now && *now != vid) {
        vid = *now;
        AddLog(std::string(kLogCompanyVidChanged) + vid);
    }
    return true;
}

}  // namespace app
