#include "app/run_outcome.h"

namespace app {

bool RunOutcome::everyCompanyUpdated() const {
    if (!surveyEnded.empty()) return false;
    for (const CompanyOutcome& c : companies)
        if (c.state != CompanyState::Updated && c.state != CompanyState::Duplicate) return false;
    return true;
}

const char* toString(CompanyState s) {
    switch (s) {
        case CompanyState::Listed:
            return "listed";
        case CompanyState::Running:
            return "running";
        case CompanyState::Skipped:
            return "skipped";
        case CompanyState::Updated:
            return "updated";
        case CompanyState::Failed:
            return "failed";
        case CompanyState::Duplicate:
            return "duplicate";
    }
    return "";
}

}  // namespace app
