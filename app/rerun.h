// --only-failed: what a company the last report left unfinished gets again.
//   - a company with no script in the report (skipped, not reached): the scripts phase 3
//     chooses from its version as the survey reads it now;
//   - otherwise each script of the report that did not finish: one that could not be launched
//     runs whole; one with refused statements runs those statements again, after the USE and
//     SET statements before them (the context they ran in), provided its text is still the
//     one the report's statement numbers refer to. Scripts that finished do not run again.
// A script the report names but the Update folder no longer lists is refused, never opened.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/company_run.h"
#include "app/run_report.h"

namespace app {

// A script as it reads now: the digest of its text and, per statement, whether it sets the
// session's context (USE, SET). `failure` when it cannot be read or parsed.
struct ScriptNow {
    std::string md5;
    std::vector<bool> setsContext;
    std::string failure;
};
ScriptNow ReadScriptNow(const std::string& file);

// The scripts a rerun gives one unfinished company that has scripts in the report, in the
// report's order. `list` is the Update folder's script list now; `readNow` reads a listed
// script by name.
std::vector<ScriptChoice> RerunChoices(const PastCompany& past,
                                       const std::vector<std::string>& list,
                                       const std::function<ScriptNow(const std::string&)>& readNow);

}  // namespace app
