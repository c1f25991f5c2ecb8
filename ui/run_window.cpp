#include "ui/run_window.h"

#include <QApplication>
#include <memory>

#include "app/updater_factory.h"
#include "ui/updater_window.h"

namespace ui {

int runWindow(int argc, char** argv, const app::UpdaterOptions& options) {
    QApplication application(argc, argv);
    UpdaterWindow window;
    std::unique_ptr<app::TfrmAutoUpdate> session = app::createUpdater(window, options);
    connectSession(window, *session);
    // Phase 1 runs before the window is first shown.
    session->FormCreate();
    int code = 0;
    if (!window.endRequested()) {
        window.centreOnScreen();
        window.show();
        code = QApplication::exec();
    }
    session->FormDestroy();
    return code;
}

}  // namespace ui
