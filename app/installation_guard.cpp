// One updater per installation: the lock taken when phase 1 finds an installation, held until
// the session ends; then, before anything else, an install that an earlier run left unfinished.
#include <string>

#include "app/frm_auto_update.h"
#include "app/safety_texts.h"
#include "host/install_lock.h"

namespace app {
namespace {

std::string holderText(const host::LockHolder& h) {
    if (h.pid == 0) return " (processo sconosciuto)";
    std::string s = " (processo " + std::to_string(h.pid);
    if (!h.started.empty()) s += ", avviato il " + h.started;
    return s + ")";
}

}  // namespace

bool TfrmAutoUpdate::ClaimInstallation() {
    Outcome.installLocked = false;
    if (m_installLock && m_installLock->held() && m_installLock->installPath() == InstallPath)
        return true;
    if (!m_installLock) m_installLock = std::make_unique<host::InstallLock>();
    std::error_code ec;
    switch (m_installLock->acquire(InstallPath, ec)) {
        case host::LockResult::Acquired:
            return RecoverInstallation();
        case host::LockResult::Held:
            Outcome.installLocked = true;
            m_view.setCaption(Label::LabelStatus, std::string(kTextInstallLocked) +
                                                      holderText(m_installLock->holder()));
            return false;
        case host::LockResult::Failed:
            m_view.setCaption(Label::LabelStatus,
                              std::string(kTextLockFailed) + " (" + ec.message() + ")");
            return false;
    }
    return false;
}

}  // namespace app
