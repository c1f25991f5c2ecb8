// TfrmAutoUpdate: the updater session, one object per run of the program. It holds the state
// the phases share and their handlers, and shows everything through a View.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/company_table.h"
#include "app/view.h"
#include "host/config.h"
#include "host/host_settings.h"
#include "host/services.h"

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

// The components that later join the session (each a member created and destroyed with it):
//   IdDownHTTP (HTTP client): its Request.UserAgent takes kUserAgent in FormCreate; CheckUpdate
//     fetches the version file; its OnWorkBegin/OnWork handlers move pBar; fase02 downloads.
//   MyLibs (MySQL connection) and the queries: LoadCompanies; FormDestroy closes MyLibs.
//   UnZipper: fase02. dbScriptUpdater: fase03 and LaunchScript.
// btnAvantiClick (runs fase02), fase02 and fase03 arrive with them.
// How far a run came, for the program's exit status.
struct RunOutcome {
    bool fase01Ok = false;
    bool fase02Failed = false;
    bool fase03Failed = false;
    bool fase03Complete = false;
    int failedStatements = 0;
    // Companies the survey skipped, each with the reason ("OSF0101: message").
    std::vector<std::string> skippedCompanies;
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
    // Fills TabMem with the companies; failures end it silently. Until a database connection is
    // attached the survey ends where it would open the connection, with TabMem open and empty.
    virtual void LoadCompanies();

    // Phase 2 and 3 and their helpers.
    void btnAvantiClick();
    void fase02();
    void fase03();
    void LoadScripts();
    void ApplyCompanyUpdate(const CompanyRecord& row);
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

    View& view() { return m_view; }
    const host::HostSettings& hostSettings() const { return m_host; }

  private:
    View& m_view;
    host::HostSettings m_host;
    // Phase 1 pumps messages while it runs; a click that would start it again is ignored.
    bool m_inFase01 = false;
    host::RunningSnapshot m_running{};
};

// Inserts `name` into the sorted script list unless an equal name (ignoring ASCII case) is
// there; the order puts "." before digits before letters, letters without regard to case.
void AddScriptName(std::vector<std::string>& list, const std::string& name);
int CompareScriptNames(std::string_view a, std::string_view b);
// Parses a version file body: gives the value of the last "VE" line, or nullopt when none.
std::optional<std::string> ParseVersionFile(std::string_view body);

}  // namespace app
