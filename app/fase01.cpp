// Phase 1: the installation check. The configuration must be there; the version check and the
// company survey follow only when the step before them worked.
#include "app/frm_auto_update.h"
#include "db/errors.h"
#include "app/texts.h"
#include "host/config.h"
#include "app/libs_connection.h"
#include "core/text.h"
#include "host/install_path.h"
#include "net/id_http.h"
#include "net/stream.h"
#include "net/update_server.h"

namespace app {
namespace {

constexpr std::size_t kVersionFileLimit = 1 << 20;

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
    Outcome.fase01Ok = ok;
}

std::optional<std::string> ParseVersionFile(std::string_view body) {
    std::optional<std::string> vid;
    if (body.empty()) return vid;
    for (const std::string& raw : core::splitLines(core::decodeText(body))) {
        std::string value = core::Trim(raw);
        if (value.empty()) continue;
        // The key keeps a blank before "|": "VE |x" is not the version line.
        const std::string key = core::SplitAt(value, '|');
        if (key == "VE") vid = core::Trim(value);
    }
    return vid;
}

bool TfrmAutoUpdate::CheckUpdate() {
    bool result = false;
    if (IdDownHTTP && UpdateServer) {
        try {
            // The version file is a few lines; a body beyond this bound is not a version file
            // and fails the check instead of filling memory.
            net::MemoryStream body(kVersionFileLimit, net::Overflow::Fail);
            IdDownHTTP->Get(UpdateServer->versionFileUrl(), body);
            if (auto vid = ParseVersionFile(body.text())) LatestVID = *vid;
            result = true;
        } catch (...) {
            result = false;
        }
    }
    if (!result) m_view.setCaption(Label::LabelStatus, std::string(kTextCheckUpdateFailed));
    return result;
}

namespace {

std::string text(const QueryRow& row, const std::string& column) {
    auto it = row.find(column);
    if (it == row.end()) throw db::EDatabaseError("Field '" + column + "' not found");
    return it->second.value_or(std::string());
}

}  // namespace

void TfrmAutoUpdate::LoadCompanies() {
    TabMem.Close();
    TabMem.Open();
    Outcome.skippedCompanies.clear();
    if (MyLibs) {
        try {
            MyLibs->Open();
            const std::vector<QueryRow> ditte = MyLibs->Query("SELECT * FROM librerie ORDER BY nome ASC");
            for (const QueryRow& ditta : ditte) {
                const std::string schema = "OSF" + text(ditta, "Studio") + text(ditta, "Ditta");
                try {
                    const auto server = MyLibs->Query("show triggers in " + schema +
                                                      " where `Trigger`='tri_TADIMA00';");
                    const auto client = MyLibs->Query("show triggers in " + schema +
                                                      " where `Trigger`='tci_TADIMA00';");
                    const auto versione = MyLibs->Query("SELECT * FROM " + schema + "._versione");
                    if (versione.empty()) {
                        Outcome.skippedCompanies.push_back(schema + ": _versione has no row");
                        continue;
                    }
                    CompanyRecord r;
                    r.DTNAME = text(ditta, "nome");
                    r.DTDATA = schema;
                    r.DTVERS = text(versione.front(), "versione");
                    // A record is stored only once its version identifier was read.
                    r.DTVID = text(versione.front(), "VID");
                    r.DTTRIG = !server.empty();
                    r.DTTRIN = !client.empty();
                    TabMem.Append(std::move(r));
                } catch (const db::EMyError& e) {
                    // One broken company does not hide the ones after it. A lost connection
                    // does end the survey.
                    Outcome.skippedCompanies.push_back(schema + ": " + e.what());
                    if (!MyLibs->Connected()) break;
                } catch (const db::EDatabaseError& e) {
                    Outcome.skippedCompanies.push_back(schema + ": " + e.what());
                }
            }
            if (TabMem.RecordCount() == 0) TabMem.Close();
        } catch (const std::exception& e) {
            // The connection or qryDitte failed: the survey ends silently with what it has.
            Outcome.skippedCompanies.push_back(std::string("survey ended: ") + e.what());
        }
    }
    m_view.companiesChanged(TabMem, LatestVID);
}

}  // namespace app
