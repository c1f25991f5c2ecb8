// Phase 1: the installation check. The configuration must be there; the version check and the
// company survey follow only when the step before them worked.
#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "host/config.h"
#include "host/install_path.h"

namespace app {
namespace {

// Clears a flag when phase 1 leaves, however it leaves.
class Running {
  public:
    explicit Running(bool& flag) : m_flag(flag) { m_flag = true; }
    ~Running() { m_flag = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

  private:
    bool& m_flag;
};

}  // namespace

void TfrmAutoUpdate::fase01() {
    if (m_inFase01) return;
    Running running(m_inFase01);
    m_view.setButtonEnabled(Button::btnAvanti, Enablement::Disabled);
    m_view.setCaption(Label::LabelPercorso, InstallPath);
    bool ok = false;
    try {
        ok = host::ConfigFileExists(InstallPath);
        if (ok) {
            DbSettings = host::ReadConfig(InstallPath);
            m_view.setFontColor(Label::LabelPercorso, FontColor::WindowText);
            ok = CheckUpdate();
            if (ok) LoadCompanies();
        } else {
            m_view.setFontColor(Label::LabelPercorso, FontColor::Red);
            m_view.setCaption(Label::LabelStatus, std::string(kTextPathInvalid));
        }
    } catch (...) {
        // The steps report their own failures; one that escapes still leaves page 1 consistent.
        ok = false;
    }
    m_view.setImageVisible(Image::iPathOK, ok ? Visibility::Shown : Visibility::Hidden);
    m_view.setImageVisible(Image::iPathFAIL, ok ? Visibility::Hidden : Visibility::Shown);
    if (ok) m_view.setButtonEnabled(Button::btnAvanti, Enablement::Enabled);
}

bool TfrmAutoUpdate::CheckUpdate() {
    // No HTTP client is attached to this session: the version file cannot be fetched.
    m_view.setCaption(Label::LabelStatus, std::string(kTextCheckUpdateFailed));
    return false;
}

void TfrmAutoUpdate::LoadCompanies() {
    TabMem.Close();
    TabMem.Open();
    // No database connection is attached: opening it fails, which ends the survey silently
    // with the table open and empty.
    m_view.companiesChanged(TabMem, LatestVID);
}

}  // namespace app
