// Per-company script application: which scripts of the list run for a company, and how the
// runner's progress and errors reach the window and the run log.
#include <algorithm>
#include <optional>

#include "app/frm_auto_update.h"
#include "app/schema_lock.h"
#include "app/script_launch.h"
#include "app/texts.h"
#include "core/exception.h"
#include "core/text.h"
#include "db/my_connection.h"
#include "db/script.h"

namespace app {

namespace {

// "." before digits before letters, letters without regard to case.
int rank(unsigned char c) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if (c == '.') return 0;
    if (c >= '0' && c <= '9') return 100 + c;
    if (c >= 'a' && c <= 'z') return 300 + c;
    // Other punctuation before the dot, bytes beyond ASCII after the letters, by code.
    return c < 0x80 ? -256 + c : 512 + c;
}

}  // namespace

int CompareScriptNames(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d =
            rank(static_cast<unsigned char>(a[i])) - rank(static_cast<unsigned char>(b[i]));
        if (d != 0) return d < 0 ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void AddScriptName(std::vector<std::string>& list, const std::string& name,
                   const std::function<bool(const std::string&, const std::string&)>& sameFile) {
    // Names equal but for letter case follow each other in the order of their bytes, so the
    // list does not depend on the order the folder lists them in.
    const auto before = [](const std::string& x, const std::string& y) {
        const int c = CompareScriptNames(x, y);
        return c != 0 ? c < 0 : x < y;
    };
    const auto [first, last] = std::equal_range(
        list.begin(), list.end(), name,
        [](const std::string& x, const std::string& y) { return CompareScriptNames(x, y) < 0; });
    for (auto it = first; it != last; ++it)
        if (*it == name || (sameFile && sameFile(*it, name))) return;
    list.insert(std::lower_bound(first, last, name, before), name);
}

void TfrmAutoUpdate::ApplyCompanies() {
    if (!TabMem.Active()) return;
    // Schemas already updated in this run, ASCII case folded as a case-insensitive server
    // names them.
    std::vector<std::string> applied;
    for (std::size_t i = 0; i < TabMem.Rows().size(); ++i) {
        const CompanyRecord& row = TabMem.Rows()[i];
        CompanyOutcome& outcome = outcomeOfRow(i, row);
        const std::string key = core::asciiLower(core::Trim(row.DTDATA));
        if (std::find(applied.begin(), applied.end(), key) != applied.end()) {
            // Its scripts ran through the earlier row, from the version read in phase 1:
            // running them again would repeat every statement.
            outcome.state = CompanyState::Duplicate;
            outcome.reason = "schema already updated through an earlier row";
            continue;
        }
        applied.push_back(key);
        ApplyCompanyUpdate(row, outcome);
    }
}

CompanyOutcome& TfrmAutoUpdate::outcomeOfRow(std::size_t row, const CompanyRecord& record) {
    if (row < m_outcomeOfRow.size()) return Outcome.companies[m_outcomeOfRow[row]];
    // A row that did not come from the survey.
    Outcome.companies.push_back({record.DTDATA, record.DTNAME, CompanyState::Listed, 0, 0, {}});
    return Outcome.companies.back();
}

namespace {

// The log line's head for a script of this kind, or null when the company does not get it:
// database scripts always, trigger scripts when the company has that trigger.
const char* launchLine(std::string_view kind, bool trig, bool trin) {
    if (kind == "dbql") return "Launch Script db = ";
    if ((kind == "trgql" && trig) || (kind == "trcql" && trin)) return "Launch Script trigger = ";
    return nullptr;
}

// The version part of the last name in the list, whether or not that script ran.
std::string lastVersion(const std::vector<std::string>& list) {
    if (list.empty()) return {};
    std::string rest = core::Trim(list.back());
    return core::SplitAt(rest, '.');
}

// Counts a company's failed statements while its scripts run.
class CountingFailures {
  public:
    CountingFailures(int*& slot, int& count) : m_slot(slot) { m_slot = &count; }
    ~CountingFailures() { m_slot = nullptr; }
    CountingFailures(const CountingFailures&) = delete;
    CountingFailures& operator=(const CountingFailures&) = delete;

  private:
    int*& m_slot;
};

}  // namespace

void TfrmAutoUpdate::ApplyCompanyUpdate(const CompanyRecord& row, CompanyOutcome& outcome) {
    const bool trin = row.DTTRIN;
    const bool trig = row.DTTRIG;
    std::string vid = core::Trim(row.DTVID);  // read again under the company's lock
    const std::string schema = core::Trim(row.DTDATA);
    AddLog("Begin Apply Update For " + schema);
    AddLog("Current VID = " + vid);
    CountingFailures counting(m_companyFailures, outcome.failedStatements);
    bool connectionChecked = false;
    std::optional<SchemaLock> lock;  // held on the server while this company's scripts run
    for (const std::string& entry : ScriptList) {
        std::string kind = core::Trim(entry);
        const std::string version = core::SplitAt(kind, '.');
        if (!core::VersionBefore(vid, version)) continue;
        const char* line = launchLine(kind, trig, trin);
        if (!line) continue;
        if (!connectionChecked) {
            connectionChecked = true;
            std::string reason;
            if (!ReopenIfLost(reason)) {
                // Nothing of this company runs; the next company tries again.
                LogScriptFailure([this](std::string_view l) { AddLog(l); }, reason, schema);
                outcome.state = CompanyState::Skipped;
                outcome.reason = "no connection: " + reason;
                break;
            }
            // Another updater may have run this company's scripts since phase 1 read its
            // version: the version is read again under the lock.
            if (!LockCompany(schema, vid, lock, outcome)) break;
            if (!core::VersionBefore(vid, version)) continue;
        }
        AddLog(line + version + "." + kind);
        if (!LaunchScript(schema, ScriptFolder + version + "." + kind)) ++outcome.failedScripts;
    }
    AddLog("Last Update VID = " + lastVersion(ScriptList));
    AddLog("End Apply Update For " + schema);
    if (outcome.state != CompanyState::Skipped)
        outcome.state = outcome.failedStatements > 0 || outcome.failedScripts > 0
                            ? CompanyState::Failed
                            : CompanyState::Updated;
}

bool TfrmAutoUpdate::ReopenIfLost(std::string& reason) {
    // A session built without a connection has nothing to check; its runner reports.
    if (!MyLibs) return true;
    if (MyLibs->Connected()) {
        // A download longer than the server's idle time-out, or a restart of the server,
        // leaves a session that answers every statement with "gone away".
        try {
            MyLibs->run("DO 0");
            return true;
        } catch (const std::exception&) {
            MyLibs->Close();
        }
    }
    try {
        MyLibs->Open();
        return true;
    } catch (const std::exception& e) {
        reason = core::messageOf(e);
        return false;
    }
}

bool TfrmAutoUpdate::LaunchScript(const std::string& pSchema, const std::string& pScriptFile) {
    const LogLine addLog = [this](std::string_view l) { AddLog(l); };
    const ScriptBar bar{[this](int max) { m_view.setScriptBarMax(max); },
                        [this] {
                            m_view.setScriptBarPosition(0);
                            m_view.setScriptBarMin(0);
                        }};
    if (dbScriptUpdater)
        return LaunchUpdateScript(*dbScriptUpdater, pSchema, pScriptFile, bar, addLog);
    LogScriptFailure(addLog, "no script runner", pScriptFile);
    bar.reset();
    return false;
}

void TfrmAutoUpdate::dbScriptUpdaterAfterExecute(const std::string& /*SQL*/) {
    m_view.setScriptBarPosition(m_view.scriptBarPosition() + 1);
    m_view.updateScriptBar();
    m_view.processMessages();
}

void TfrmAutoUpdate::dbScriptUpdaterError(const std::exception& E, const std::string& SQL,
                                          db::TErrorAction& Action) {
    if (m_companyFailures) ++*m_companyFailures;
    OnUpdateScriptError([this](std::string_view l) { AddLog(l); }, E, SQL, Action);
}

void TfrmAutoUpdate::MyLibsBeforeConnect(db::TMyConnection& Sender) {
    Sender.Server = DbSettings.Server;
    Sender.Username = "root";
    Sender.Password = DbSettings.RootPass;
    Sender.Database = kLibraryDatabase;
}

}  // namespace app
