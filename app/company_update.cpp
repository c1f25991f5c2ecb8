// Per-company script application: which scripts of the list run for a company, and how the
// runner's progress and errors reach the window and the run log.
#include <algorithm>

#include "app/frm_auto_update.h"
#include "db/my_connection.h"
#include "app/texts.h"
#include "core/text.h"
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
        const int d = rank(static_cast<unsigned char>(a[i])) - rank(static_cast<unsigned char>(b[i]));
        if (d != 0) return d < 0 ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void AddScriptName(std::vector<std::string>& list, const std::string& name) {
    auto it = std::lower_bound(list.begin(), list.end(), name, [](const std::string& x, const std::string& y) {
        return CompareScriptNames(x, y) < 0;
    });
    if (it != list.end() && CompareScriptNames(*it, name) == 0) return;
    list.insert(it, name);
}

void TfrmAutoUpdate::ApplyCompanyUpdate(const CompanyRecord& row) {
    const bool trin = row.DTTRIN;
    const bool trig = row.DTTRIG;
    const std::string vid = core::Trim(row.DTVID);
    const std::string schema = core::Trim(row.DTDATA);
    AddLog("Begin Apply Update For " + schema);
    AddLog("Current VID = " + vid);
    std::string last;
    for (const std::string& entry : ScriptList) {
        std::string kind = core::Trim(entry);
        const std::string version = core::SplitAt(kind, '.');
        last = version;
        if (!core::VersionBefore(vid, version)) continue;
        const std::string file = ScriptFolder + version + "." + kind;
        if (kind == "dbql") {
            AddLog("Launch Script db = " + version + "." + kind);
            LaunchScript(schema, file);
        } else if ((kind == "trgql" && trig) || (kind == "trcql" && trin)) {
            AddLog("Launch Script trigger = " + version + "." + kind);
            LaunchScript(schema, file);
        }
    }
    AddLog("Last Update VID = " + last);
    AddLog("End Apply Update For " + schema);
}

bool TfrmAutoUpdate::LaunchScript(const std::string& pSchema, const std::string& pScriptFile) {
    bool result = true;
    try {
        if (!dbScriptUpdater) throw std::runtime_error("no script runner");
        dbScriptUpdater->SQL.Clear();
        dbScriptUpdater->SQL.LoadFromFile(pScriptFile);
        dbScriptUpdater->MacroByName("DatabaseName").Value = pSchema;
        m_view.setScriptBarMax(static_cast<int>(dbScriptUpdater->Statements().size()));
        dbScriptUpdater->Execute();
    } catch (...) {
        result = false;
    }
    m_view.setScriptBarPosition(0);
    m_view.setScriptBarMin(0);
    return result;
}

void TfrmAutoUpdate::dbScriptUpdaterAfterExecute(const std::string& /*SQL*/) {
    m_view.setScriptBarPosition(m_view.scriptBarPosition() + 1);
    m_view.updateScriptBar();
    m_view.processMessages();
}

void TfrmAutoUpdate::dbScriptUpdaterError(const std::exception& E, const std::string& SQL,
                                          db::TErrorAction& Action) {
    ++Outcome.failedStatements;
    AddLog(kErrorStars);
    AddLog(E.what());
    AddLog("Errore su: ");
    AddLog(SQL);
    AddLog(kErrorStars);
    Action = db::TErrorAction::eaContinue;
}

void TfrmAutoUpdate::MyLibsBeforeConnect(db::TMyConnection& Sender) {
    Sender.Server = DbSettings.Server;
    Sender.Username = "root";
    Sender.Password = DbSettings.RootPass;
    Sender.Database = "ostrellib";
}

}  // namespace app
