#include "app/run_outcome.h"

#include <string>

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

std::string OneLine(std::string_view text) {
    std::string out;
    for (char c : text) {
        const bool blank = static_cast<unsigned char>(c) <= 0x20;
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string StateText(const CompanyOutcome& c) {
    switch (c.state) {
        case CompanyState::Listed:
            return "non raggiunta";
        case CompanyState::Running:
            return "in corso";
        case CompanyState::Updated:
            return "aggiornata";
        case CompanyState::Duplicate:
            return "già aggiornata con una riga precedente";
        case CompanyState::Skipped:
            return "saltata (" + OneLine(c.reason) + ")";
        case CompanyState::Failed:
            return std::to_string(c.failedStatements) + " istruzioni fallite, " +
                   std::to_string(c.failedScripts) + " script non avviati";
    }
    return {};
}

}  // namespace app
