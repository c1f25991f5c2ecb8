// What became of a run: per company row its state, the scripts it ran and each failed
// statement, the files the package brought, the product's services. The console's summary, the
// exit status and the JSON run report are made from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/tree_survey.h"

namespace app {

// What became of one company row of librerie in this run.
enum class CompanyState {
    Listed,     // in TabMem; phase 3 has not reached it (yet)
    Running,    // its scripts are running now
    Skipped,    // the survey could not read it, or phase 3 could not open its connection
    Updated,    // every script it needed was launched and every statement ran
    Failed,     // a statement failed or a script could not be launched
    Duplicate,  // an earlier row names the same schema, which was updated through that row
};

// One statement the server refused.
struct StatementFailure {
    int statement = 0;  // its place in the script's statement list, from 1 (DELIMITER counted)
    int line = 0;       // the script line it starts on
    int errorNumber = 0;
    std::string sqlState;  // "42S02"; "" when the error carries none (client errors)
    std::string message;   // the server's text, on one line
};

// One script launched for a company.
struct ScriptOutcome {
    std::string name;       // "2014c.dbql"
    std::string kind;       // "dbql", "trgql", "trcql"
    std::string md5;        // of the text as the runner read it, hex; "" when it could not be
    int statements = 0;     // listed (DELIMITER commands included)
    int executed = 0;       // sent to the server, failed ones included
    bool launched = false;  // loaded, macro set, listed and run to its end
    std::string failure;    // why it could not be launched or stopped, on one line
    std::vector<StatementFailure> failed;
    // Statements run of a partial rerun (--only-failed); empty: the whole script.
    std::vector<int> only;

    bool finished() const { return launched && failed.empty(); }
};

struct CompanyOutcome {
    std::string schema;  // "OSF" + Studio + Ditta
    std::string name;    // librerie.nome, when it could be read
    CompanyState state = CompanyState::Listed;
    int failedStatements = 0;
    int failedScripts = 0;  // scripts that could not be launched
    std::string reason;     // why it was skipped
    bool serverTrigger = false;
    bool clientTrigger = false;
    std::string versionBefore;  // DTVID as the survey read it
    std::string versionAfter;   // _versione.VID read again after its scripts; "" when unread
    bool versionAfterRead = false;
    std::vector<ScriptOutcome> scripts;
};

// Seconds since the run began (FormCreate) at which its steps began; -1 for a step not reached.
struct RunTimes {
    double download = -1;  // phase 2
    double install = -1;   // phase 3
    double scripts = -1;   // the companies' scripts
    double scriptsEnd = -1;
    double end = -1;  // the run's end, when its report was made
};

// How far a run came, for the program's exit status and the console's closing summary.
struct RunOutcome {
    bool fase01Ok = false;
    bool declined = false;  // "Avanti" was answered with Cancel
    bool fase02Failed = false;
    bool fase03Failed = false;
    bool fase03Complete = false;
    int failedStatements = 0;
    // Every row of librerie the survey reached, in its order.
    std::vector<CompanyOutcome> companies;
    // Why the survey stopped before the end of librerie; "" when it read every row.
    std::string surveyEnded;
    // Package entries that could not be extracted ("name: message").
    std::vector<std::string> failedEntries;
    // Another run holds the installation lock (phase 1 then fails with its own exit status).
    bool installLocked = false;
    // The package's files as phase 3 found them before its copy, and whether the copy worked.
    std::vector<host::MergeEntry> packageFiles;
    bool filesCopied = false;
    // The folder that keeps the files the copy replaced (--rollback puts them back); "" when
    // the copy left none.
    std::string backupFolder;
    // What the start did with an install or rollback an earlier run left unfinished: "" (there
    // was none), "restored", "completed", "rolled back", "failed"; a plan, which changes
    // nothing, leaves it for the next update: "pending".
    std::string recovery;
    // ServiceTable entries (image names) found running and stopped; services started again.
    std::vector<std::string> stopped;
    std::vector<std::string> restarted;
    // The companies' scripts were started (phase 3 reached them, or a rerun).
    bool scriptsApplied = false;
    RunTimes times;

    // True when the survey read every row and every company reached the latest version's
    // scripts with every statement run (a duplicate row counts through the row before it).
    bool everyCompanyUpdated() const;
};

// "listed", "running", "skipped", "updated", "failed", "duplicate": the report's words.
const char* toString(CompanyState s);
// What became of a company, in the words the console and the window show ("aggiornata",
// "saltata (motivo)").
std::string StateText(const CompanyOutcome& company);
// A message on one line: line breaks and other control characters become blanks, runs of them
// one blank ("\r\n#42000Unknown database" reads "#42000Unknown database").
std::string OneLine(std::string_view text);

}  // namespace app
