// TfrmAutoUpdate: the updater session, one object per run of the program. It holds the state
// the phases share and their handlers, and shows everything through a View.
#pragma once

#include <string>
#include <string_view>

#include "app/company_table.h"
#include "app/view.h"
#include "host/config.h"
#include "host/host_settings.h"

namespace app {

// The components that later join the session (each a member created and destroyed with it):
//   IdDownHTTP (HTTP client): its Request.UserAgent takes kUserAgent in FormCreate; CheckUpdate
//     fetches the version file; its OnWorkBegin/OnWork handlers move pBar; fase02 downloads.
//   MyLibs (MySQL connection) and the queries: LoadCompanies; FormDestroy closes MyLibs.
//   UnZipper: fase02. dbScriptUpdater: fase03 and LaunchScript.
// btnAvantiClick (runs fase02), fase02 and fase03 arrive with them.
class TfrmAutoUpdate {
  public:
    TfrmAutoUpdate(View& view, host::HostSettings hostSettings);
    virtual ~TfrmAutoUpdate() = default;
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

    View& view() { return m_view; }
    const host::HostSettings& hostSettings() const { return m_host; }

  private:
    View& m_view;
    host::HostSettings m_host;
    // Phase 1 pumps messages while it runs; a click that would start it again is ignored.
    bool m_inFase01 = false;
};

}  // namespace app
