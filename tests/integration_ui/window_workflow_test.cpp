// The window through a whole update: the real UpdaterWindow with the session createUpdater
// builds, against the MariaDB sandbox, a real HTTP server and the fake product service.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QtGlobal>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/texts.h"
#include "app/updater_factory.h"
#include "core/text.h"
#include "tests/support/http_servers.h"
#include "tests/support/mariadb_sandbox.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"
#include "tests/ui/ui_test_util.h"
#include "ui/run_window.h"
#include "ui/updater_window.h"

namespace {

namespace fs = std::filesystem;
using testsupport::shellQuote;

// A world for one run (see make_world.sh), its update server and its fake "net" on PATH.
class World {
  public:
    World() {
        const testsupport::MariaDbSandbox& db = QL_REQUIRE_SANDBOX();
        m_db = &db;
        std::string out;
        const int rc = testsupport::runShell(
            shellQuote(QL_WORKFLOW_DIR "/make_world.sh") + " " + shellQuote(m_dir.str()) + " " +
                shellQuote(testsupport::sandboxInfoFile()) + " && " +
                shellQuote(QL_WORKFLOW_DIR "/fake_product.sh") + " " + shellQuote(m_dir.str()) +
                " start-service OsReplicator",
            &out);
        if (rc != 0) throw std::runtime_error("world: " + out);
        fs::create_directories(m_dir.path() / "httpwork");
        m_http = std::make_unique<testsupport::PythonHttpServer>(m_dir.path() / "www",
                                                                 m_dir.path() / "httpwork");
        m_oldPath = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(m_dir.str() + "tools:") + m_oldPath);
    }
    ~World() {
        qputenv("PATH", m_oldPath);
        testsupport::runShell("f=" + shellQuote(m_dir.str() + "run/OsReplicator.pid") +
                              "; [ -f \"$f\" ] && kill -KILL $(cat \"$f\") 2>/dev/null; true");
    }
    app::UpdaterOptions options(int jobs) const {
        app::UpdaterOptions o;
        o.jobs = jobs;
        o.installPath = install();
        o.serverUrl = "http://127.0.0.1:" + std::to_string(m_http->port());
        o.tempRoot = m_dir.str() + "tmp";
        o.mysqlPort = static_cast<int>(m_db->port);
        return o;
    }
    std::string install() const { return m_dir.str() + "Ostrel"; }
    std::string vid(const std::string& schema) const {
        return core::Trim(
            testsupport::runSql(*m_db, "SELECT VID FROM " + schema + "._versione").output);
    }
    bool httpRunning() const { return m_http->running(); }
    std::string netLog() const {
        return fs::exists(m_dir.path() / "net.log")
                   ? testsupport::readFile(m_dir.path() / "net.log")
                   : std::string();
    }

  private:
    testsupport::TempDir m_dir;
    const testsupport::MariaDbSandbox* m_db = nullptr;
    std::unique_ptr<testsupport::PythonHttpServer> m_http;
    QByteArray m_oldPath;
};

// The real window, noting the page shown after every tab change and every LabelDownload text.
class WatchedWindow : public ui::UpdaterWindow {
  public:
    void setTabVisible(app::Page page, app::Visibility v) override {
        ui::UpdaterWindow::setTabVisible(page, v);
        if (pages.empty() || pages.back() != currentPage()) pages.push_back(currentPage());
    }
    void setCaption(app::Label which, const std::string& text) override {
        ui::UpdaterWindow::setCaption(which, text);
        if (which == app::Label::LabelDownload) downloadTexts.push_back(text);
    }
    bool askOkCancel(const std::string& text) override {
        questions.push_back(text);
        return ui::UpdaterWindow::askOkCancel(text);
    }
    std::vector<int> pages;
    std::vector<std::string> downloadTexts;
    std::vector<std::string> questions;
};

std::string labelText(const QWidget& w, const char* name) {
    const auto* l = uitest::control<QLabel>(w, name);
    return l ? l->text().toStdString() : "<no " + std::string(name) + ">";
}

// Log lines of ListLog, oldest first (the window shows the newest on top).
std::vector<std::string> logLines(const QWidget& w) {
    std::vector<std::string> lines;
    const auto* list = uitest::control<QListWidget>(w, "ListLog");
    if (!list) return lines;
    for (int i = list->count() - 1; i >= 0; --i)
        lines.push_back(list->item(i)->text().toStdString());
    return lines;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct Session {
    explicit Session(const app::UpdaterOptions& o) : session(app::createUpdater(window, o)) {
        ui::connectSession(window, *session);
    }
    ~Session() { session->FormDestroy(); }
    WatchedWindow window;
    std::unique_ptr<app::TfrmAutoUpdate> session;
};

// What one whole run through the window showed at its end.
struct Shown {
    std::vector<std::string> log;
    std::vector<std::string> tooltips;  // one per grid row: the state phase 3 left it in
};

// Avanti through the three pages, OK to the final question; returns what the window showed.
void wholeUpdate(int jobs, Shown& shown) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    World w;
    ASSERT_TRUE(w.httpRunning());
    Session s(w.options(jobs));
    WatchedWindow& win = s.window;

    s.session->FormCreate();
    ASSERT_FALSE(win.endRequested());
    EXPECT_EQ(win.currentPage(), 0);
    const auto* grid = uitest::control<QTableView>(win, "Grid");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    auto* avanti = uitest::control<QPushButton>(win, "btnAvanti");
    auto* fine = uitest::control<QPushButton>(win, "btnFine");
    ASSERT_TRUE(avanti && fine);
    EXPECT_TRUE(avanti->isEnabled());
    EXPECT_FALSE(fine->isEnabled());
    win.show();

    // The final question, answered OK by the operator: the program ends.
    uitest::DialogWatcher ok([](QWidget& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        if (box && box->button(QMessageBox::Ok))
            box->button(QMessageBox::Ok)->click();
        else
            dialog.close();
    });
    // The version file fetched in FormCreate went through the same HTTP client and its handlers.
    win.pages.clear();
    win.downloadTexts.clear();
    avanti->click();

    // Page 1 stays on screen while its tab is hidden, then pages 2 and 3 follow.
    EXPECT_EQ(win.pages, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(win.currentPage(), 2);
    EXPECT_TRUE(win.tabShown(app::Page::TabSheetFase03));
    EXPECT_FALSE(win.tabShown(app::Page::TabSheetFase01));
    EXPECT_EQ(labelText(win, "LabelInstall"), std::string(app::kTextInstallOk));
    EXPECT_TRUE(fine->isEnabled());
    EXPECT_TRUE(ok.seen());
    ASSERT_EQ(win.questions.size(), 1u);
    EXPECT_EQ(win.questions[0], std::string(app::kTextInstallOkQuestion));
    EXPECT_TRUE(win.endRequested());

    const std::vector<std::string> lines = logLines(win);
    for (const char* line :
         {">> Stop QL Services", ">> Load Script Update", ">> Begin Apply Update For OSF0101",
          ">> Launch Script db = 2014b.dbql", ">> Last Update VID = 2014c",
          ">> End Apply Update For OSF0103", ">> Restart Replicator..."})
        EXPECT_TRUE(contains(lines, line)) << line;
    EXPECT_EQ(lines.empty() ? "" : lines.back(), ">> Restart Replicator...");

    // Page 2's texts: downloading, the byte counts from IdDownHTTPWork, extracting.
    const std::vector<std::string>& texts = win.downloadTexts;
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts.front(), std::string(app::kTextDownloading));
    EXPECT_EQ(texts.back(), std::string(app::kTextExtracting));
    bool sawCount = false;
    for (const std::string& t : texts)
        if (t.starts_with("Scaricato ") && t.ends_with("kb")) sawCount = true;
    EXPECT_TRUE(sawCount);

    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(w.vid("OSF0102"), "2014c");
    // The service is started in the background: give "net" a moment to note it.
    for (int i = 0; i < 100 && w.netLog() != "stop OsReplicator\nstart OsReplicator\n"; ++i)
        QTest::qWait(100);
    EXPECT_EQ(w.netLog(), "stop OsReplicator\nstart OsReplicator\n");

    // The world's folder differs from run to run.
    for (std::string line : lines) {
        if (const auto at = line.find(w.install()); at != std::string::npos)
            line.replace(at, w.install().size(), "<installation>");
        shown.log.push_back(line);
    }
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        shown.tooltips.push_back(
            grid->model()->index(row, 0).data(Qt::ToolTipRole).toString().toStdString());
}

TEST(WindowWorkflow, AvantiMovesThroughTheThreePagesAndOkEndsTheProgram) {
    Shown one;
    wholeUpdate(1, one);
    if (HasFatalFailure()) return;
    for (const std::string& t : one.tooltips) {
        EXPECT_NE(t, "non raggiunta");
        EXPECT_NE(t, "in corso");
    }
    // Companies side by side: the same log, each company's lines together in table order, and
    // every row left in the same state.
    Shown three;
    wholeUpdate(3, three);
    if (HasFatalFailure()) return;
    EXPECT_EQ(three.log, one.log);
    EXPECT_EQ(three.tooltips, one.tooltips);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    uitest::FreshHome home;
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
