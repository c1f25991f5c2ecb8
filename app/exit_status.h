// The exit statuses of a console run, and how a run's outcome maps to one. The run report
// carries the same number.
#pragma once

#include "app/run_outcome.h"

namespace app {

inline constexpr int kExitComplete = 0;
inline constexpr int kExitNotEveryCompany = 1;
inline constexpr int kExitFase01Failed = 2;
inline constexpr int kExitFase02Failed = 3;
inline constexpr int kExitFase03Failed = 4;
inline constexpr int kExitDeclined = 5;
inline constexpr int kExitInstallLocked = 6;
// qlupdate --rollback: 0 the files were put back, 6 as above, and:
inline constexpr int kExitNoBackup = 7;        // no backup to put back
inline constexpr int kExitRollbackFailed = 8;  // not put back (the next start tries again)
inline constexpr int kExitUsage = 64;

// The status of a run as far as it came: phase 1 failed, "Avanti" declined, phase 2 failed,
// phase 3 failed or not complete, complete but not for every company, complete.
int ExitStatusOf(const RunOutcome& outcome);
// The report's word for a status: "complete", "not every company", "check failed",
// "download failed", "install failed", "declined", "installation locked", "no backup",
// "rollback failed", "usage".
const char* ExitStatusWord(int status);

}  // namespace app
