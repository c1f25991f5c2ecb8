#include "app/frm_auto_update.h"
#include "ui/run_window.h"
#include "ui/updater_window.h"

namespace ui {
namespace {

// "Avanti" starts phase 2 through the session's handler once the session has one.
template <typename Session>
void clickAvanti(Session& session) {
    if constexpr (requires { session.btnAvantiClick(); }) session.btnAvantiClick();
}

}  // namespace

void connectSession(UpdaterWindow& window, app::TfrmAutoUpdate& session) {
    window.onAvanti = [&session] { clickAvanti(session); };
    window.onEsci = [&session] { session.btnEsciClick(); };
    window.onPathFail = [&session] { session.iPathFAILClick(); };
}

}  // namespace ui
