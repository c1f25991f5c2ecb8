// The company survey of phase 1 (LoadCompanies) through the updater's connection MyLibs and its
// four queries, against the MariaDB sandbox.
#include <gtest/gtest.h>

#include <string>

#include "app/recording_view.h"
#include "app/updater_factory.h"
#include "db/my_connection.h"
#include "db/my_query.h"
#include "tests/support/mariadb_sandbox.h"

namespace {

using testsupport::runSql;

const char* const kDropAll =
    "DROP DATABASE IF EXISTS ostrellib; DROP DATABASE IF EXISTS OSF0101;"
    "DROP DATABASE IF EXISTS OSF0102; DROP DATABASE IF EXISTS OSF0103;"
    "DROP DATABASE IF EXISTS OSF0104; DROP DATABASE IF EXISTS OSF0105;";

class Survey : public ::testing::Test {
  protected:
    void SetUp() override {
        db = &QL_REQUIRE_SANDBOX();
        ASSERT_EQ(runSql(*db, kDropAll).exitCode, 0);
        ASSERT_EQ(runSql(*db,
                         "CREATE DATABASE ostrellib; CREATE TABLE ostrellib.librerie "
                         "(Studio VARCHAR(2), Ditta VARCHAR(2), nome VARCHAR(40))")
                      .exitCode,
                  0);
    }
    void TearDown() override { runSql(*db, kDropAll); }

    void company(const std::string& ditta, const std::string& nome, const std::string& versione,
                 const std::string& extra = "") {
        const std::string s = "OSF01" + ditta;
        const auto r =
            runSql(*db, "INSERT INTO ostrellib.librerie VALUES ('01', '" + ditta + "', '" + nome +
                            "'); CREATE DATABASE " + s + "; CREATE TABLE " + s +
                            "._versione (versione VARCHAR(10), VID VARCHAR(20)); CREATE TABLE " +
                            s + ".TADIMA00 (id INT);" +
                            (versione.empty() ? ""
                                              : "INSERT INTO " + s + "._versione VALUES ('" +
                                                    versione + "', '" + versione + "x');") +
                            extra);
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }

    // A session with its components, the configuration as ReadConfig would give it.
    std::unique_ptr<app::TfrmAutoUpdate> session(std::optional<int> port = {}) {
        app::UpdaterOptions options;
        options.mysqlPort = port ? *port : db->port;
        auto s = app::createUpdater(view, options);
        s->DbSettings.Server = db->host;
        s->DbSettings.RootPass = db->rootPassword;
        return s;
    }

    const testsupport::MariaDbSandbox* db = nullptr;
    app::RecordingView view;
};

TEST_F(Survey, ListsReadableCompaniesInNameOrderAndGoesOnPastBrokenOnes) {
    company("01", "Delta", "2014.1");
    // No row in _versione: not listed.
    company("02", "Alfa", "");
    // Both triggers on TADIMA00.
    company("03", "Gamma", "2014.2",
            "CREATE TRIGGER OSF0103.tri_TADIMA00 BEFORE INSERT ON OSF0103.TADIMA00 FOR EACH ROW "
            "SET NEW.id = NEW.id; CREATE TRIGGER OSF0103.tci_TADIMA00 AFTER INSERT ON "
            "OSF0103.TADIMA00 FOR EACH ROW SET @x = 1;");
    // A _versione without the column VID: its version identifier cannot be read.
    company("04", "Beta", "2014.1", "ALTER TABLE OSF0104._versione DROP COLUMN VID;");
    // A listed company whose schema does not exist, before the others in name order.
    ASSERT_EQ(runSql(*db, "INSERT INTO ostrellib.librerie VALUES ('01', '05', 'Aaa')").exitCode, 0);

    auto s = session();
    s->LoadCompanies();
    ASSERT_TRUE(s->TabMem.Active());
    const auto& rows = s->TabMem.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].DTNAME, "Delta");
    EXPECT_EQ(rows[0].DTDATA, "OSF0101");
    EXPECT_EQ(rows[0].DTVERS, "2014.1");
    EXPECT_EQ(rows[0].DTVID, "2014.1x");
    EXPECT_FALSE(rows[0].DTTRIG);
    EXPECT_FALSE(rows[0].DTTRIN);
    EXPECT_EQ(rows[1].DTNAME, "Gamma");
    EXPECT_EQ(rows[1].DTDATA, "OSF0103");
    EXPECT_TRUE(rows[1].DTTRIG);
    EXPECT_TRUE(rows[1].DTTRIN);

    // Every row is accounted for in the survey's order; those without a record say why.
    const auto& companies = s->Outcome.companies;
    ASSERT_EQ(companies.size(), 5u);
    EXPECT_TRUE(s->Outcome.surveyEnded.empty());
    const std::vector<std::pair<std::string, app::CompanyState>> states = {
        {"OSF0105", app::CompanyState::Skipped},
        {"OSF0102", app::CompanyState::Skipped},
        {"OSF0104", app::CompanyState::Skipped},
        {"OSF0101", app::CompanyState::Listed},
        {"OSF0103", app::CompanyState::Listed}};
    for (std::size_t i = 0; i < states.size(); ++i) {
        EXPECT_EQ(companies[i].schema, states[i].first) << i;
        EXPECT_EQ(companies[i].state, states[i].second) << i;
    }
    EXPECT_NE(companies[0].reason.find("Unknown database 'osf0105'"), std::string::npos)
        << companies[0].reason;
    EXPECT_EQ(companies[1].reason, "_versione has no row");
    EXPECT_EQ(companies[1].name, "Alfa");
    EXPECT_NE(companies[2].reason.find("VID"), std::string::npos) << companies[2].reason;

    // The queries are closed again and the connection stays open for phase 3.
    EXPECT_FALSE(s->qryVersione->Active());
    EXPECT_FALSE(s->qryTriggersServer->Active());
    EXPECT_FALSE(s->qryTriggersClient->Active());
    EXPECT_TRUE(s->MyLibs->Connected());
}

TEST_F(Survey, NoCompanyClosesTheTableAndNoServerLeavesItOpenAndEmpty) {
    {
        auto s = session();
        s->LoadCompanies();
        EXPECT_FALSE(s->TabMem.Active());
        EXPECT_TRUE(s->Outcome.companies.empty());
        EXPECT_TRUE(s->Outcome.surveyEnded.empty());
        EXPECT_TRUE(s->Outcome.everyCompanyUpdated()) << "no company is listed";
    }
    {
        company("01", "Delta", "2014.1");
        // Nothing listens on port 1: the connection fails, the survey ends silently.
        auto s = session(1);
        s->LoadCompanies();
        EXPECT_TRUE(s->TabMem.Active());
        EXPECT_EQ(s->TabMem.RecordCount(), 0u);
        EXPECT_TRUE(s->Outcome.companies.empty());
        EXPECT_FALSE(s->Outcome.surveyEnded.empty());
        EXPECT_FALSE(s->Outcome.everyCompanyUpdated()) << "the companies were never read";
    }
}

TEST_F(Survey, MissingCompanyTableEndsTheSurveyWithTheTableOpen) {
    ASSERT_EQ(runSql(*db, "DROP TABLE ostrellib.librerie").exitCode, 0);
    auto s = session();
    s->LoadCompanies();
    EXPECT_TRUE(s->TabMem.Active());
    EXPECT_EQ(s->TabMem.RecordCount(), 0u);
    EXPECT_NE(s->Outcome.surveyEnded.find("librerie"), std::string::npos) << s->Outcome.surveyEnded;
}

}  // namespace
