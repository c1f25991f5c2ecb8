#include "ui/win32/run_window.h"

#include <windows.h>

#include <memory>

#include "app/frm_auto_update.h"
#include "app/updater_factory.h"
#include "ui/win32/updater_window.h"

namespace ui::win32 {

void connectSession(UpdaterWindow& window, app::TfrmAutoUpdate& session) {
    window.onAvanti = [&session] { session.btnAvantiClick(); };
    window.onEsci = [&session] { session.btnEsciClick(); };
    window.onPathFail = [&session] { session.iPathFAILClick(); };
}

int runWindow(const app::UpdaterOptions& options) {
    // A console program started from the desktop gets a console of its own: the window mode
    // has no use for it. A console shared with the shell that started us stays.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();

    UpdaterWindow window;
    std::unique_ptr<app::TfrmAutoUpdate> session = app::createUpdater(window, options);
    connectSession(window, *session);
    // Phase 1 runs before the window is first shown.
    session->FormCreate();
    if (!window.endRequested()) {
        window.show();
        window.runMessageLoop();
    }
    session->FormDestroy();
    return 0;
}

}  // namespace ui::win32
