// A whole run on the terminal: the update (phase 1, "Avanti", phases 2 and 3), the plan
// (--plan), the rerun of what the last report left unfinished (--only-failed) or the rollback
// of the files to the last backup (--rollback); the closing summary, the report and the exit
// status (app/exit_status.h).
#pragma once

#include "app/options.h"

namespace app {

int RunConsole(UpdaterOptions options);

}  // namespace app
