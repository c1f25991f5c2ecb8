// The plan of an update (--plan): what phase 3 would do with the package just unpacked, found
// without stopping a service, copying a file or sending a statement beyond the survey. Shown as
// text or as JSON; the JSON form is documented in docs/operator.md and kept stable (fields are
// only ever added, a change of meaning raises "formatVersion").
#pragma once

#include <string>
#include <vector>

#include "app/company_run.h"
#include "core/json.h"
#include "host/services.h"
#include "host/tree_survey.h"

namespace app {

inline constexpr const char* kPlanFormat = "qlupdate-plan";
inline constexpr int kPlanFormatVersion = 1;

struct CompanyPlan {
    std::string schema;
    std::string name;
    std::string version;  // DTVID as the survey read it
    bool serverTrigger = false;
    bool clientTrigger = false;
    // "update" (scripts would run), "current" (none would), "skipped" (the survey could not
    // read it), "duplicate" (an earlier row names the same schema).
    std::string action;
    std::string reason;
    std::vector<ScriptChoice> scripts;
};

struct UpdatePlan {
    std::string installation;
    std::string newVersion;
    bool verified = false;
    std::vector<CompanyPlan> companies;
    std::string surveyEnded;  // why the survey stopped early; "" when it read every row
    // The script list phase 3 would read: the installation's Update folder after the copy.
    std::vector<std::string> scriptList;
    std::vector<host::MergeEntry> files;
    // ServiceTable entries running now: phase 3 would stop them (and start the services again).
    host::RunningSnapshot running{};
    // Where the copy would keep the files it replaces (the backup --rollback puts back).
    std::string backup;
    // An install or rollback an earlier run left unfinished: the next update finishes or
    // undoes it before anything else; the plan leaves it as it is.
    bool unfinishedInstall = false;
};

core::json::Value PlanJson(const UpdatePlan& plan);
// The plan for a person, one line each.
std::vector<std::string> PlanText(const UpdatePlan& plan);

}  // namespace app
