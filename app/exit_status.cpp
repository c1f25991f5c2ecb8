#include "app/exit_status.h"

namespace app {

int ExitStatusOf(const RunOutcome& o) {
    if (!o.fase01Ok) return o.installLocked ? kExitInstallLocked : kExitFase01Failed;
    if (o.declined) return kExitDeclined;
    if (o.fase02Failed) return kExitFase02Failed;
    if (o.fase03Failed || !o.fase03Complete) return kExitFase03Failed;
    if (!o.everyCompanyUpdated()) return kExitNotEveryCompany;
    return kExitComplete;
}

const char* ExitStatusWord(int status) {
    switch (status) {
        case kExitComplete:
            return "complete";
        case kExitNotEveryCompany:
            return "not every company";
        case kExitFase01Failed:
            return "check failed";
        case kExitFase02Failed:
            return "download failed";
        case kExitFase03Failed:
            return "install failed";
        case kExitDeclined:
            return "declined";
        case kExitInstallLocked:
            return "installation locked";
        case kExitNoBackup:
            return "no backup";
        case kExitRollbackFailed:
            return "rollback failed";
        case kExitUsage:
            return "usage";
        default:
            return "unknown";
    }
}

}  // namespace app
