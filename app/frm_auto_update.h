// TfrmAutoUpdate: the updater session, one object per run of the program. It holds the state
// the phases share and their handlers, and shows everything through a View.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/company_run.h"
#include "app/company_table.h"
#include "app/run_outcome.h"
#include "app/run_report.h"
#include "app/safety_settings.h"
#include "app/view.h"
#include "host/config.h"
#include "host/host_settings.h"
#include "host/services.h"
#include "trust/release_check.h"

namespace host {
class InstallLock;
}
namespace net {
class TIdHTTP;
class UpdateServer;
}  // namespace net
namespace archive {
class TAbUnZipper;
}
namespace db {
class TMyConnection;
class TMyQuery;
class TMyScript;
enum class TErrorAction;
}  // namespace db

namespace app {

enum class RollbackOutcome { Done, NoBackup, Failed, Locked };

// The components (members created by createUpdater and destroyed with the session):
//   IdDownHTTP (HTTP client): its Request.UserAgent takes kUserAgent in FormCreate; CheckUpdate
//     fetches the version file; its OnWorkBegin/OnWork handlers move pBar; fase02 downloads.
//   MyLibs (MySQL connection) and the queries: LoadCompanies, phase 3's scripts; FormDestroy
//     closes MyLibs.
//   UnZipper: fase02. dbScriptUpdater: fase03 and LaunchScript.

// A company row phase 3 (or a rerun) runs, with the job it gets.
struct PlannedCompany {
    std::size_t row;  // in TabMem
    CompanyJob job;
};

class TfrmAutoUpdate {
  public:
    TfrmAutoUpdate(View& view, host::HostSettings hostSettings);
    virtual ~TfrmAutoUpdate();
    TfrmAutoUpdate(const TfrmAutoUpdate&) = delete;
    TfrmAutoUpdate& operator=(const TfrmAutoUpdate&) = delete;

    // The installation folder, always with a trailing separator.
    std::string InstallPath;
    // The latest version identifier from the version file; empty until one was read.
    std::string LatestVID;
    host::DbSettings DbSettings;
    // The temporary folder (trailing separator) and the unpacked package folder (none); both
    // empty until phase 2.
    std::string DR;
    std::string FL;
    CompanyTable TabMem;

    // Handlers of the window.
    void FormCreate();   // page 1, default installation path, then fase01
    void FormDestroy();  // closes the database connection, nothing else
    void btnEsciClick();
    void iPathFAILClick();

    // Phase 1: configuration, version check, company survey; its outcome goes to page 1.
    void fase01();
    // One run log line: ">> " + V on top; the one-character NUL text empties the log.
    void AddLog(std::string_view V);
    // Removes the temporary folder DR, if there is one; the outcome is not examined.
    void DeleteTmpDir();

    // Gives true when the version file was fetched and read; on failure sets the status text.
    // Until an HTTP client is attached the check cannot be made and fails.
    virtual bool CheckUpdate();
    // With a public key (config.ini [Update] PublicKey, or built in): the signed release phase 1
    // accepted, which phase 2 checks the package against. Empty without a key.
    std::optional<trust::VerifiedRelease> Release;
    // The run log's first line in phase 3: whether the update was verified.
    std::string TrustLogLine;
    // Phase 3's run log line about the package when it came from the package cache ("" when
    // it was downloaded).
    std::string PackageLogLine;
    // After a successful update: every file of the package cache but the current version's
    // package goes (older packages, stale .part files).
    void PrunePackageCache();
    // Fills TabMem with the companies; failures end it silently. Until a database connection is
    // attached the survey ends where it would open the connection, with TabMem open and empty.
    virtual void LoadCompanies();

    // Phase 2 and 3 and their helpers.
    void btnAvantiClick();
    void fase02();
    void fase03();
    void LoadScripts();
    // Runs the chosen scripts of the list for one company row; its failures are counted in
    // `outcome`.
    void ApplyCompanyUpdate(const CompanyRecord& row, CompanyOutcome& outcome);
    bool LaunchScript(const std::string& pSchema, const std::string& pScriptFile);
    void dbScriptUpdaterAfterExecute(const std::string& SQL);
    void dbScriptUpdaterError(const std::exception& E, const std::string& SQL,
                              db::TErrorAction& Action);
    void ShowInstallFailure();
    void MyLibsBeforeConnect(db::TMyConnection& Sender);
    void IdDownHTTPWorkBegin(std::int64_t AWorkCountMax);
    void IdDownHTTPWork(std::int64_t AWorkCount);

    // The script list of phase 3 (sorted, de-duplicated) and its folder.
    std::vector<std::string> ScriptList;
    std::string ScriptFolder;

    // The components; each stays null until createUpdater attaches it, and a step that needs
    // a missing one fails as it would without it.
    std::unique_ptr<net::TIdHTTP> IdDownHTTP;
    std::unique_ptr<net::UpdateServer> UpdateServer;
    std::unique_ptr<db::TMyConnection> MyLibs;
    // The survey's queries on MyLibs; created with it.
    std::unique_ptr<db::TMyQuery> qryDitte;
    std::unique_ptr<db::TMyQuery> qryVersione;
    std::unique_ptr<db::TMyQuery> qryTriggersServer;
    std::unique_ptr<db::TMyQuery> qryTriggersClient;
    std::unique_ptr<archive::TAbUnZipper> UnZipper;
    std::unique_ptr<db::TMyScript> dbScriptUpdater;
    // Used by FormCreate instead of the default installation path (--install-path).
    std::optional<std::string> StartInstallPath;

    RunOutcome Outcome;
    // Companies whose scripts run at once in phase 3 (--jobs); 1 runs them one after the other
    // on MyLibs.
    int Jobs = 1;
    // --plan: phase 1 takes the installation lock but leaves an unfinished install for the
    // next update (a plan stops and changes nothing).
    bool PlanOnly = false;

    // The run report, written once when the run ends (EndRun): beside the run log, or, for a
    // run that saved none, in the installation folder when it holds config.ini.
    RunKind Kind = RunKind::Update;
    std::string RunId;       // made when the session is created
    std::string RunStarted;  // UTC
    std::string RerunOf;     // --only-failed: the run id of the report it reran
    std::string RunLogFile;  // the run log's file once phase 3 named it
    bool RunLogSaved = false;
    std::string ReportFile;  // once written; "" when none was
    int ExitStatus = -1;     // once the run ended
    void EndRun(int exitStatus);
    double SecondsSinceStart() const;
    // Whether phase 1 accepted a signed release (the package is checked against it).
    bool ReleaseVerified() const { return Release.has_value(); }

    // --plan: phase 2's download and unpacking, then what phase 3 would do, without doing any
    // of it; the temporary folder is removed. False when the package could not be unpacked.
    bool MakePlan(struct UpdatePlan& plan);
    // --only-failed: the companies the last report left unfinished get their scripts again (no
    // download, no copy, no service stopped). False with `why` when the rerun could not start.
    bool RerunUnfinished(std::string& why);
    // The scripts of a folder into a sorted list, as phase 3 lists its script folder.
    static void ListScriptFolder(const std::string& folder, std::vector<std::string>& list);

    // The installation lock, the staged install, its recovery and rollback, the package cache
    // (app/installation_guard.cpp, app/staged_copy.cpp, app/package_download.cpp).
    SafetySettings Safety;
    // Locks InstallPath for the rest of the run (once per folder) and first puts back an
    // install that an earlier run left unfinished; false (with the status text set) when
    // another run holds the installation or it cannot be locked or restored.
    bool ClaimInstallation();
    // The line the recovery of an unfinished install logged ("" when there was none); phase 3
    // logs it again after it cleared the log.
    std::string RecoveryLogLine;
    // qlupdate --rollback: the previous version's files back, the product stopped and started
    // again as phase 3 does (app/staged_copy.cpp).
    RollbackOutcome RunRollback();

    View& view() { return m_view; }
    const host::HostSettings& hostSettings() const { return m_host; }

  private:
    // One company row of qryDitte into TabMem; false when the connection was lost, which ends
    // the survey.
    bool SurveyCompany();
    // Phase 2's download and extraction; false on any failure (the caller cleans up).
    bool DownloadAndUnpack(std::string& packageFile);
    bool DownloadPackage(const std::string& packageFile);
    // The package cache's file of LatestVID ("" without an installation or a usable name).
    std::string CachedPackageFile() const;
    // Says that the cached package failed its check (why) and will be downloaded again.
    void RefuseCachedPackage(const std::string& why);
    // The signature and release checks of the version file's body (app/update_trust.cpp): gives
    // the version id to take, or the refusal's text in `refusal`.
    bool AcceptVersionFile(std::string_view body, std::optional<std::string>& vid,
                           std::string& refusal);
    // The downloaded package against the signed size and SHA-256; sets m_fase02Refusal.
    bool CheckDownloadedPackage(const std::string& packageFile);
    void NotePackageTooLarge();
    // Why phase 2 refused the package; empty for a failure of its own steps.
    std::string m_fase02Refusal;
    bool UnpackPackage(const std::string& packageFile);
    // Phase 3's steps up to the success text; false when one of them failed. `copyOk` tells
    // whether the package reached the installation.
    bool InstallAndMigrate(bool& copyOk);
    void ApplyCompanies();
    // The closing steps; false when one failed (the later ones are then skipped).
    bool ClosingSteps();
    CompanyOutcome& outcomeOfRow(std::size_t row, const CompanyRecord& record);
    // The session's own connection, runner, version query, AddLog and pBarScript.
    CompanyLane SessionLane();
    // Runs the companies' jobs: one after the other on the session's lane, or with Jobs > 1 on
    // lanes of their own; either way the view hears of each company's state and the run log
    // gets each company's lines together, in table order.
    void RunPlannedCompanies(std::vector<PlannedCompany>& planned);

    View& m_view;
    host::HostSettings m_host;
    std::chrono::steady_clock::time_point m_runStart = std::chrono::steady_clock::now();
    bool m_runEnded = false;
    // Phase 1 pumps messages while it runs; a click that would start it again is ignored.
    bool m_inFase01 = false;
    host::RunningSnapshot m_running{};
    // For each TabMem row, its entry in Outcome.companies.
    std::vector<std::size_t> m_outcomeOfRow;
    std::unique_ptr<host::InstallLock> m_installLock;
    // The staged install (app/staged_copy.cpp): phase 3's copy, the version it replaces, the
    // recovery of an unfinished one, the test hook.
    bool InstallPackageTree(std::string& errorText);
    std::string ReplacedVersion() const;
    bool RecoverInstallation();
    std::function<void()> FaultHook() const;
};

// The order of the script list: "." before digits before letters, letters without regard to
// case (0 for names that differ only in letter case).
int CompareScriptNames(std::string_view a, std::string_view b);
// Inserts `name` into the sorted script list. Names that differ only in letter case keep the
// order of their bytes among themselves; one is left out only when `sameFile` says it is a file
// already listed (a case-insensitive file system shows one file under one name only).
void AddScriptName(std::vector<std::string>& list, const std::string& name,
                   const std::function<bool(const std::string&, const std::string&)>& sameFile);
// Parses a version file body: gives the value of the last "VE" line, or nullopt when none.
std::optional<std::string> ParseVersionFile(std::string_view body);

}  // namespace app
