#include "app/frm_auto_update.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "app/texts.h"
#include "archive/unzipper.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "db/script.h"
#include "host/install_lock.h"
#include "host/install_path.h"
#include "host/paths.h"
#include "host/platform/file_names.h"
#include "host/tree_ops.h"
#include "net/id_http.h"
#include "net/update_server.h"

namespace app {

TfrmAutoUpdate::TfrmAutoUpdate(View& view, host::HostSettings hostSettings)
    : RunId(NewRunId()), RunStarted(UtcNowText()), m_view(view), m_host(std::move(hostSettings)) {}

TfrmAutoUpdate::~TfrmAutoUpdate() = default;

void TfrmAutoUpdate::FormCreate() {
    m_view.selectFirstPage();
    m_view.setTabVisible(Page::TabSheetFase02, Visibility::Hidden);
    m_view.setTabVisible(Page::TabSheetFase03, Visibility::Hidden);
    m_view.setCaption(Label::LabelStatus, "");
    InstallPath = StartInstallPath ? host::IncludeTrailingPathDelimiter(*StartInstallPath)
                                   : host::DefaultInstallPath(m_host);
    LatestVID.clear();
    fase01();
}

void TfrmAutoUpdate::FormDestroy() {
    // Closing MyLibs is all there is to do; the temporary folder, if any, stays on disk.
    if (MyLibs) MyLibs->Close();
}

void TfrmAutoUpdate::btnEsciClick() {
    m_view.close();
}

void TfrmAutoUpdate::iPathFAILClick() {
    if (m_inFase01) return;
    std::string folder = m_view.chooseFolder();
    if (folder.empty()) return;
    InstallPath = host::IncludeTrailingPathDelimiter(folder);
    fase01();
}

void TfrmAutoUpdate::AddLog(std::string_view V) {
    if (V == std::string_view("\0", 1))
        m_view.clearLog();
    else
        m_view.insertLogLine(std::string(kLogPrefix) + std::string(V));
    m_view.processMessages();
}

void TfrmAutoUpdate::DeleteTmpDir() {
    std::error_code ec;
    if (DR.empty() || !std::filesystem::is_directory(host::fsPath(DR), ec)) return;
    (void)host::DeleteTree(host::ExcludeTrailingPathDelimiter(DR));
}

}  // namespace app
