// Each page drawn from a session run: the pictures and bars land on screen. With
// QL_SCREENSHOT_DIR set, the pages are also saved there (docs/window-page1.png ...).
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <QtGlobal>

#include "app/frm_auto_update.h"
#include "tests/support/temp_dir.h"
#include "ui/pictures.h"
#include "ui/run_window.h"
#include "ui/updater_window.h"
#include "ui_test_util.h"

namespace {

// The real session with the version check and the survey answered from memory, as a server
// and a database would answer them.
class SurveyedSession : public app::TfrmAutoUpdate {
  public:
    using app::TfrmAutoUpdate::TfrmAutoUpdate;
    bool CheckUpdate() override {
        LatestVID = "2024b";
        return true;
    }
    void LoadCompanies() override {
        TabMem.Close();
        TabMem.Open();
        TabMem.Append({"Rossi Costruzioni S.r.l.", "OSF00101", "5.4", "2024b", true, true});
        TabMem.Append({"Bianchi & Figli S.n.c.", "OSF00102", "5.3", "2024", false, true});
        TabMem.Append({"Studio Verdi", "OSF00201", "5.4", "2024b", false, false});
        TabMem.Append({"Caff\xC3\xA8 Neri S.p.A.", "OSF00301", "5.2", "2023c", true, false});
        view().companiesChanged(TabMem, LatestVID);
    }
};

QImage grabPage(ui::UpdaterWindow& window, const char* file) {
    QApplication::processEvents();
    const QImage image = window.grab().toImage();
    const QByteArray dir = qgetenv("QL_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(QString::fromLocal8Bit(dir) + "/" + file);
    return image;
}

bool isGreen(QRgb p) {
    return QColor(p) == QColor(0, 128, 0);
}

TEST(Screenshots, EachPageOfARun) {
    testsupport::TempDir programFiles;
    programFiles.write("Ostrel/config.ini", "[MySQL]\r\nSERVER=127.0.0.1\r\nRootPass=secret\r\n");
    ui::UpdaterWindow window;
    SurveyedSession session(window, host::HostSettings{programFiles.str(), {}});
    ui::connectSession(window, session);
    session.FormCreate();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(uitest::control<QWidget>(window, "iPathOK")->isVisible());
    EXPECT_TRUE(uitest::control<QWidget>(window, "btnAvanti")->isEnabled());

    const QImage page1 = grabPage(window, "window-page1.png");
    ASSERT_EQ(page1.size(), QSize(495, 348));
    QWidget* shape1 = uitest::control<QWidget>(window, "Shape1");
    const QPoint bar = shape1->mapTo(&window, QPoint(100, 1));
    EXPECT_TRUE(isGreen(page1.pixel(bar)));

    // Phase 2 as it starts: page 1 hidden, page 2 shown, a transfer under way.
    window.setTabVisible(app::Page::TabSheetFase01, app::Visibility::Hidden);
    window.setTabVisible(app::Page::TabSheetFase02, app::Visibility::Shown);
    window.setCaption(app::Label::LabelDownload, "Scaricato 1024kb di 1464kb");
    window.setDownloadBarMax(1500000);
    window.setDownloadBarPosition(1048576);
    const QImage page2 = grabPage(window, "window-page2.png");
    QWidget* logo = uitest::control<QWidget>(window, "Image2");
    const QImage logoPicture = ui::loadPicture(ui::kPictureLogo).toImage();
    const QPoint logoAt = logo->mapTo(&window, QPoint(0, 0));
    EXPECT_EQ(page2.pixel(logoAt) & 0xFFFFFF, logoPicture.pixel(0, 0) & 0xFFFFFF);
    EXPECT_EQ(page2.pixel(logoAt + QPoint(111, 29)) & 0xFFFFFF,
              logoPicture.pixel(111, 29) & 0xFFFFFF);

    // Phase 3 at its end.
    window.setTabVisible(app::Page::TabSheetFase02, app::Visibility::Hidden);
    window.setTabVisible(app::Page::TabSheetFase03, app::Visibility::Shown);
    for (const char* line :
         {"Stop QL Services", "Copy update dirercory in /opt/", "Load Script Update",
          "Begin Apply Update For OSF00102", "Current VID = 2024",
          "Launch Script db = /opt/Ostrel/Update/2024b.dbql", "Last Update VID = 2024b",
          "End Apply Update For OSF00102", "Restart QL Services"})
        session.AddLog(line);
    window.setScriptBarMax(10);
    window.setScriptBarPosition(10);
    window.setButtonEnabled(app::Button::btnFine, app::Enablement::Enabled);
    const QImage page3 = grabPage(window, "window-page3.png");
    EXPECT_EQ(window.currentPage(), 2);
    QWidget* shape4 = uitest::control<QWidget>(window, "Shape4");
    EXPECT_TRUE(isGreen(page3.pixel(shape4->mapTo(&window, QPoint(200, 1)))));
}

}  // namespace
