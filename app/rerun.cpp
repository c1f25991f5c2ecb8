#include "app/rerun.h"

#include <algorithm>
#include <map>

#include "app/frm_auto_update.h"
#include "app/run_log.h"
#include "app/safety_texts.h"
#include "app/texts.h"
#include "core/exception.h"
#include "core/md5.h"
#include "core/text.h"
#include "db/errors.h"
#include "db/lexer.h"
#include "db/script.h"
#include "host/config.h"
#include "host/install_path.h"
#include "host/paths.h"

namespace app {

namespace {

// USE and SET change what later statements of the session mean (the default schema, variables,
// sql_mode, the character set); sending them again is harmless.
bool setsContext(std::string_view sql) {
    auto lexemes = db::lexAll(sql);
    if (!lexemes) return false;
    for (const db::Lexeme& l : *lexemes) {
        if (!l.significant() || l.kind == db::LexemeKind::End) continue;
        return core::equalsNoCaseAscii(l.text, "USE") || core::equalsNoCaseAscii(l.text, "SET");
    }
    return false;
}

const char* launchLine(const std::string& kind) {
    return kind == "dbql" ? "Launch Script db = " : "Launch Script trigger = ";
}

}  // namespace

ScriptNow ReadScriptNow(const std::string& file) {
    ScriptNow now;
    try {
        db::TMyScript parser;
        parser.SQL.LoadFromFile(file);
        now.md5 = core::Md5Hex(parser.ParseText());
        for (const db::TDAStatement& st : parser.Statements())
            now.setsContext.push_back(!st.Omit && setsContext(st.SQL));
    } catch (const std::exception& e) {
        now.failure = db::MessageText(core::messageOf(e));
    }
    return now;
}

std::vector<ScriptChoice> RerunChoices(
    const PastCompany& past, const std::vector<std::string>& list,
    const std::function<ScriptNow(const std::string&)>& readNow) {
    std::vector<ScriptChoice> choices;
    for (const PastScript& s : past.scripts) {
        if (s.launched && s.failedStatements.empty()) continue;  // it finished
        ScriptChoice c;
        std::string kind = s.name;
        c.version = core::SplitAt(kind, '.');
        c.kind = kind;
        c.logLine = launchLine(c.kind);
        // Only a name the folder lists is ever opened: the report is a file anyone may edit.
        if (std::find(list.begin(), list.end(), s.name) == list.end()) {
            c.refusal = "script non più presente nella cartella Update";
        } else if (s.launched) {
            const ScriptNow now = readNow(s.name);
            if (!now.failure.empty()) {
                c.refusal = now.failure;
            } else if (now.md5 != s.md5) {
                c.refusal =
                    "script cambiato dopo il rapporto: i numeri delle istruzioni non valgono";
            } else {
                const int last = s.failedStatements.back();
                for (int n = 1; n < last && n <= static_cast<int>(now.setsContext.size()); ++n)
                    if (now.setsContext[static_cast<std::size_t>(n) - 1]) c.only.push_back(n);
                c.only.insert(c.only.end(), s.failedStatements.begin(), s.failedStatements.end());
                std::sort(c.only.begin(), c.only.end());
                c.only.erase(std::unique(c.only.begin(), c.only.end()), c.only.end());
            }
        }
        choices.push_back(std::move(c));
    }
    return choices;
}

bool TfrmAutoUpdate::RerunUnfinished(std::string& why) {
    Kind = RunKind::OnlyFailed;
    InstallPath = StartInstallPath ? host::IncludeTrailingPathDelimiter(*StartInstallPath)
                                   : host::DefaultInstallPath(m_host);
    m_view.setCaption(Label::LabelPercorso, InstallPath);
    if (!host::ConfigFileExists(InstallPath)) {
        why = std::string(kTextPathInvalid);
        return false;
    }
    DbSettings = host::ReadConfig(InstallPath);
    // The companies' databases change: one updater per installation, as for an update.
    if (!ClaimInstallation()) {
        why = std::string(Outcome.installLocked ? kTextInstallLocked : kTextLockFailed);
        return false;
    }
    const std::optional<PastRun> past = FindLastReport(InstallPath, why);
    if (!past) return false;
    RerunOf = past->runId;
    LatestVID = past->newVersion;
    Outcome.fase01Ok = true;

    std::map<std::string, const PastCompany*> unfinished;  // by schema, ASCII case folded
    std::vector<std::string> order;
    for (const PastCompany& c : past->companies) {
        const std::string key = core::asciiLower(core::Trim(c.schema));
        if (c.finished() || unfinished.count(key)) continue;
        unfinished[key] = &c;
        order.push_back(key);
    }
    if (unfinished.empty()) {
        Outcome.fase03Complete = true;
        return true;
    }

    LoadCompanies();
    m_view.setTabVisible(Page::TabSheetFase01, Visibility::Hidden);
    m_view.setTabVisible(Page::TabSheetFase03, Visibility::Shown);
    AddLog(std::string_view("\0", 1));
    AddLog("Riesecuzione delle ditte non completate dell'esecuzione " + past->runId);
    Outcome.times.install = SecondsSinceStart();
    ScriptList.clear();
    LoadScripts();

    std::vector<PlannedCompany> planned;
    std::map<std::string, std::size_t> outcomeOfKey;
    for (std::size_t i = 0; i < TabMem.Rows().size(); ++i) {
        const CompanyRecord& row = TabMem.Rows()[i];
        const std::string key = core::asciiLower(core::Trim(row.DTDATA));
        const auto it = unfinished.find(key);
        if (it == unfinished.end() || outcomeOfKey.count(key)) continue;
        CompanyOutcome& outcome = outcomeOfRow(i, row);
        outcomeOfKey[key] = m_outcomeOfRow[i];
        outcome.versionBefore = core::Trim(row.DTVID);
        outcome.serverTrigger = row.DTTRIG;
        outcome.clientTrigger = row.DTTRIN;
        CompanyJob job =
            PhaseThreeJob(row.DTDATA, row.DTVID, row.DTTRIG, row.DTTRIN, ScriptList, ScriptFolder);
        if (!it->second->scripts.empty())
            job.scripts = RerunChoices(*it->second, ScriptList, [this](const std::string& name) {
                return ReadScriptNow(ScriptFolder + name);
            });
        planned.push_back({i, std::move(job)});
    }
    Outcome.scriptsApplied = true;
    Outcome.times.scripts = SecondsSinceStart();
    RunPlannedCompanies(planned);
    Outcome.times.scriptsEnd = SecondsSinceStart();

    // The report of a rerun lists the companies it was about, in the last report's order: a
    // company the survey could not read or no longer lists stays unfinished for the next one.
    std::vector<CompanyOutcome> rerun;
    for (const std::string& key : order) {
        const auto at = outcomeOfKey.find(key);
        if (at != outcomeOfKey.end()) {
            rerun.push_back(std::move(Outcome.companies[at->second]));
            continue;
        }
        const auto skipped = std::find_if(
            Outcome.companies.begin(), Outcome.companies.end(),
            [&key](const CompanyOutcome& c) { return core::asciiLower(c.schema) == key; });
        if (skipped != Outcome.companies.end()) {
            rerun.push_back(std::move(*skipped));
            continue;
        }
        CompanyOutcome gone;
        gone.schema = unfinished[key]->schema;
        gone.state = CompanyState::Skipped;
        gone.reason = "not in the company list";
        rerun.push_back(std::move(gone));
    }
    Outcome.companies = std::move(rerun);
    m_outcomeOfRow.clear();
    Outcome.fase03Complete = true;

    // Beside the run it reruns (often of the same minute), never over it.
    const std::string base = FreeRunFileBase(InstallPath, LatestVID + "." + RunLogStamp());
    RunLogFile = base.empty() ? base : base + ".uplog";
    RunLogSaved = !RunLogFile.empty() && m_view.saveLogToFile(RunLogFile);
    if (!RunLogSaved) {
        Outcome.fase03Failed = true;
        Outcome.fase03Complete = false;
    }
    return true;
}

}  // namespace app
