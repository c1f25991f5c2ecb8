// Phase 1: the installation check. The configuration must be there; the version check and the
// company survey follow only when the step before them worked.
#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "app/version_id.h"
#include "core/text.h"
#include "db/errors.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "host/config.h"
#include "host/install_path.h"
#include "net/id_http.h"
#include "net/stream.h"
#include "net/update_server.h"
#include "trust/version_file.h"

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
            // An installation: locked for the rest of the run, and an install an earlier run
            // left unfinished put back before anything is read from it.
            ok = ClaimInstallation();
            if (ok) {
                DbSettings = host::ReadConfig(InstallPath);
                m_view.setFontColor(Label::LabelPercorso, FontColor::WindowText);
                ok = CheckUpdate();
                if (ok) LoadCompanies();
            }
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
    if (ok) {
        // A failure text left by an earlier run (a path without config.ini, then a folder chosen
        // that has one) would contradict a page that now says all is well.
        m_view.setCaption(Label::LabelStatus, "");
        m_view.setButtonEnabled(Button::btnAvanti, Enablement::Enabled);
    }
    Outcome.fase01Ok = ok;
}

std::optional<std::string> ParseVersionFile(std::string_view body) {
    return trust::latestVersionId(body);
}

bool TfrmAutoUpdate::CheckUpdate() {
    bool result = false;
    std::string refusal;
    if (IdDownHTTP && UpdateServer) {
        try {
            // The version file is a few lines; a body beyond this bound is not a version file
            // and fails the check instead of filling memory.
            net::MemoryStream body(kVersionFileLimit, net::Overflow::Fail);
            IdDownHTTP->Get(UpdateServer->versionFileUrl(), body);
            // With a key, no line of the body is believed before its signature held.
            std::optional<std::string> vid;
            result = AcceptVersionFile(body.text(), vid, refusal);
            // An identifier that is not one plain file name fails the check like a version file
            // that cannot be read: it names the package, its folder and the run log file.
            result = result && (!vid || IsSafeVersionId(*vid));
            if (vid && result) LatestVID = *vid;
        } catch (...) {
            result = false;
        }
    }
    if (!result)
        m_view.setCaption(Label::LabelStatus,
                          refusal.empty() ? std::string(kTextCheckUpdateFailed) : refusal);
    return result;
}

namespace {

// Closes a query when the survey leaves a company, however it leaves.
class Closing {
  public:
    explicit Closing(db::TMyQuery& query) : m_query(query) {}
    ~Closing() { m_query.Close(); }
    Closing(const Closing&) = delete;
    Closing& operator=(const Closing&) = delete;

  private:
    db::TMyQuery& m_query;
};

bool sessionLost(const db::TMyConnection& connection) {
    return !connection.Connected() || !connection.Session()->connected();
}

}  // namespace

void TfrmAutoUpdate::LoadCompanies() {
    TabMem.Close();
    TabMem.Open();
    Outcome.companies.clear();
    Outcome.surveyEnded.clear();
    m_outcomeOfRow.clear();
    if (!MyLibs || !qryDitte || !qryVersione || !qryTriggersServer || !qryTriggersClient) {
        Outcome.surveyEnded = "no database connection";
    } else {
        try {
            MyLibs->Open();
            qryDitte->Close();
            qryDitte->Open();
            Closing closeDitte(*qryDitte);
            for (; !qryDitte->Eof(); qryDitte->Next())
                if (!SurveyCompany()) break;
            if (TabMem.RecordCount() == 0) TabMem.Close();
        } catch (const std::exception& e) {
            // The connection or qryDitte failed: the survey ends silently with what it has.
            Outcome.surveyEnded = e.what();
        }
    }
    m_view.companiesChanged(TabMem, LatestVID);
}

bool TfrmAutoUpdate::SurveyCompany() {
    const std::string schema = "OSF" + qryDitte->FieldByName("Studio").AsString() +
                               qryDitte->FieldByName("Ditta").AsString();
    Outcome.companies.emplace_back().schema = schema;
    Outcome.companies.back().state = CompanyState::Skipped;
    const std::size_t index = Outcome.companies.size() - 1;
    const auto skip = [&](const std::string& reason) { Outcome.companies[index].reason = reason; };
    // Closed in this order whichever way the company's step ends.
    Closing closeClient(*qryTriggersClient);
    Closing closeServer(*qryTriggersServer);
    Closing closeVersione(*qryVersione);
    try {
        Outcome.companies[index].name = qryDitte->FieldByName("nome").AsString();
        qryTriggersServer->MacroByName("database").Value = schema;
        qryTriggersServer->Open();
        qryTriggersClient->MacroByName("database").Value = schema;
        qryTriggersClient->Open();
        qryVersione->MacroByName("database").Value = schema + "._versione";
        qryVersione->Open();
        if (qryVersione->IsEmpty()) {
            skip("_versione has no row");
            return true;
        }
        CompanyRecord r;
        r.DTNAME = Outcome.companies[index].name;
        r.DTDATA = schema;
        r.DTVERS = qryVersione->FieldByName("versione").AsString();
        // A record is stored only once its version identifier was read.
        r.DTVID = qryVersione->FieldByName("VID").AsString();
        r.DTTRIG = qryTriggersServer->RecordCount() > 0;
        r.DTTRIN = qryTriggersClient->RecordCount() > 0;
        Outcome.companies[index].versionBefore = core::Trim(r.DTVID);
        Outcome.companies[index].serverTrigger = r.DTTRIG;
        Outcome.companies[index].clientTrigger = r.DTTRIN;
        TabMem.Append(std::move(r));
        m_outcomeOfRow.push_back(index);
        Outcome.companies[index].state = CompanyState::Listed;
    } catch (const db::EMyError& e) {
        // One broken company does not hide the ones after it. A lost connection does end the
        // survey.
        skip(e.what());
        if (sessionLost(*MyLibs)) {
            Outcome.surveyEnded = e.what();
            return false;
        }
    } catch (const db::EDatabaseError& e) {
        skip(e.what());
    }
    return true;
}

}  // namespace app
