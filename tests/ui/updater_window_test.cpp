// The window's controls, pages, dialogs and close rules, with the real session driving it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QtGlobal>
#include <filesystem>

#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "tests/support/temp_dir.h"
#include "ui/run_window.h"
#include "ui/updater_window.h"
#include "ui_test_util.h"

namespace {

using uitest::control;

struct Placed {
    const char* name;
    int x, y, w, h;
};

TEST(UpdaterWindow, ControlsOfThePagesSitWhereTheyBelong) {
    ui::UpdaterWindow window;
    EXPECT_EQ(window.windowTitle(), "Quillora PRO Auto-Update");
    EXPECT_EQ(window.size(), QSize(495, 348));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";
    const Placed placed[] = {
        {"Shape1", 3, 3, 470, 3},       {"iOk", 367, 3, 16, 16},      {"iAlert", 389, 3, 16, 16},
        {"iPathOK", 3, 34, 24, 24},     {"iPathFAIL", 3, 34, 24, 24}, {"LabelPercorso", 33, 34, 432, 24},
        {"Shape", 3, 64, 470, 3},       {"Grid", 3, 94, 501, 156},    {"Shape2", 3, 256, 470, 3},
        {"LabelStatus", 3, 261, 470, 13}, {"btnEsci", 309, 280, 79, 24}, {"btnAvanti", 394, 280, 79, 24},
        {"Image1", 0, 24, 484, 129},    {"Image2", 136, 103, 121, 34}, {"Label1", 0, 159, 484, 26},
        {"LabelDownload", 0, 178, 484, 26}, {"Shape3", 0, 291, 486, 3}, {"btnFine", 405, 6, 79, 24},
    };
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.name);
        QWidget* w = control<QWidget>(window, p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), QRect(p.x, p.y, p.w, p.h));
    }
    EXPECT_FALSE(control<QWidget>(window, "iOk")->isVisibleTo(&window));
    EXPECT_FALSE(control<QWidget>(window, "iAlert")->isVisibleTo(&window));

    struct Text {
        const char* name;
        const char* text;
        int pixels;
        bool bold;
        QColor colour;
    };
    const QColor green(0, 128, 0), red(255, 0, 0);
    const Text texts[] = {
        {"Label4", "Percorso Quillora Pro", 13, true, green},
        {"Label5", "Aziende Attive", 13, true, green},
        {"Label1", "Download package di aggiornamento in corso...", 16, true, green},
        {"LabelInstall", "Applicazione Aggiornamenti in corso...", 11, false, green},
        {"LabelStatus", "", 11, false, red},
        {"LabelPercorso", "", 16, true, window.palette().color(QPalette::WindowText)},
    };
    for (const Text& t : texts) {
        SCOPED_TRACE(t.name);
        auto* l = control<QLabel>(window, t.name);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->text(), t.text);
        EXPECT_EQ(l->font().family(), "Tahoma");
        EXPECT_EQ(l->font().pixelSize(), t.pixels);
        EXPECT_EQ(l->font().bold(), t.bold);
        EXPECT_EQ(l->palette().color(QPalette::WindowText), t.colour);
        EXPECT_EQ(l->textFormat(), Qt::PlainText);
    }
    const Text buttons[] = {{"btnEsci", "Esci", 11, true, red}, {"btnAvanti", "Avanti", 11, true, green},
                            {"btnFine", "Fine", 11, true, green}};
    for (const Text& t : buttons) {
        SCOPED_TRACE(t.name);
        auto* b = control<QPushButton>(window, t.name);
        EXPECT_EQ(b->text(), t.text);
        EXPECT_TRUE(b->isFlat());
        EXPECT_TRUE(b->font().bold());
        EXPECT_EQ(b->palette().color(QPalette::ButtonText), t.colour);
    }
    EXPECT_FALSE(control<QPushButton>(window, "btnFine")->isEnabled());
    auto* tabs = control<QTabWidget>(window, "pctrlUpdater");
    EXPECT_EQ(tabs->tabText(0), "Controllo Installazione");
    EXPECT_EQ(tabs->tabText(1), "Download Aggiornamento");
    EXPECT_EQ(tabs->tabText(2), "Installazione Aggiornameto");

    // Page 3 stacks its controls from the top; the log takes what is left.
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Page 1 keeps an inner border of 5.
    EXPECT_EQ(control<QWidget>(window, "Shape1")->mapTo(window.pageWidget(app::Page::TabSheetFase01), QPoint(0, 0)),
              QPoint(8, 8));
    tabs->setCurrentIndex(2);
    QApplication::processEvents();
    EXPECT_EQ(control<QWidget>(window, "LabelInstall")->geometry().top(), 10);
    EXPECT_EQ(control<QWidget>(window, "ListLog")->geometry().top(), 39);
    EXPECT_EQ(control<QWidget>(window, "pBarScript")->height(), 16);
    EXPECT_EQ(control<QWidget>(window, "Panel1")->height(), 35);
    QWidget* page3 = window.pageWidget(app::Page::TabSheetFase03);
    EXPECT_EQ(control<QWidget>(window, "Panel1")->geometry().bottom(), page3->height() - 1);
    tabs->setCurrentIndex(1);
    QApplication::processEvents();
    QWidget* page2 = window.pageWidget(app::Page::TabSheetFase02);
    EXPECT_EQ(control<QWidget>(window, "pBar")->geometry().bottom(), page2->height() - 1);
}

TEST(UpdaterWindow, PagesMoveForwardWhicheverOrderTheTabsChange) {
    for (bool showFirst : {false, true}) {
        SCOPED_TRACE(showFirst ? "show next, then hide" : "hide, then show next");
        ui::UpdaterWindow window;
        window.selectFirstPage();
        window.setTabVisible(app::Page::TabSheetFase02, app::Visibility::Hidden);
        window.setTabVisible(app::Page::TabSheetFase03, app::Visibility::Hidden);
        EXPECT_EQ(window.currentPage(), 0);
        const app::Page steps[][2] = {{app::Page::TabSheetFase01, app::Page::TabSheetFase02},
                                     {app::Page::TabSheetFase02, app::Page::TabSheetFase03}};
        int expected = 1;
        for (const auto& step : steps) {
            if (showFirst) {
                window.setTabVisible(step[1], app::Visibility::Shown);
                window.setTabVisible(step[0], app::Visibility::Hidden);
            } else {
                window.setTabVisible(step[0], app::Visibility::Hidden);
                window.setTabVisible(step[1], app::Visibility::Shown);
            }
            EXPECT_EQ(window.currentPage(), expected);
            EXPECT_TRUE(window.tabShown(step[1]));
            EXPECT_FALSE(window.tabShown(step[0]));
            ++expected;
        }
    }
}

TEST(UpdaterWindow, EscapeDoesNotCloseTheMainWindow) {
    ui::UpdaterWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(&window, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.endRequested());
}

TEST(UpdaterWindow, LogNewestOnTopAndSavedInThatOrder) {
    ui::UpdaterWindow window;
    app::TfrmAutoUpdate session(window, {});
    session.AddLog("A");
    session.AddLog("B");
    session.AddLog("");
    auto* list = control<QListWidget>(window, "ListLog");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), ">> ");
    EXPECT_EQ(list->item(2)->text(), ">> A");
    testsupport::TempDir dir;
    const std::string file = dir.str() + "log.txt";
    session.AddLog("caff\xC3\xA8");
    ASSERT_TRUE(window.saveLogToFile(file));
    EXPECT_EQ(testsupport::readFile(file), ">> caff\xE8\r\n>> \r\n>> B\r\n>> A\r\n");
    EXPECT_FALSE(window.saveLogToFile(dir.str() + "no/such/folder/log.txt"));
    session.AddLog(std::string_view("\0", 1));
    EXPECT_EQ(list->count(), 0);

    window.setScriptBarMax(40);
    window.setScriptBarPosition(25);
    EXPECT_EQ(window.scriptBarPosition(), 25);
    window.setDownloadBarMax(0);
    EXPECT_EQ(window.downloadBarMax(), 0);
}

struct SessionFixture : ::testing::Test {
    testsupport::TempDir programFiles;
    ui::UpdaterWindow window;
    std::unique_ptr<app::TfrmAutoUpdate> session;

    void start() {
        session = std::make_unique<app::TfrmAutoUpdate>(window, host::HostSettings{programFiles.str(), {}});
        ui::connectSession(window, *session);
        session->FormCreate();
    }
    std::string installPath() const { return programFiles.str() + "Ostrel/"; }
};

TEST_F(SessionFixture, MissingConfigurationShowsTheAlertAndTheChooserCanCancel) {
    start();
    EXPECT_EQ(window.currentPage(), 0);
    EXPECT_FALSE(window.tabShown(app::Page::TabSheetFase02));
    EXPECT_FALSE(window.tabShown(app::Page::TabSheetFase03));
    auto* path = control<QLabel>(window, "LabelPercorso");
    EXPECT_EQ(path->text().toStdString(), installPath());
    EXPECT_EQ(path->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(control<QLabel>(window, "LabelStatus")->text().toStdString(), app::kTextPathInvalid);
    EXPECT_TRUE(control<QWidget>(window, "iPathFAIL")->isVisibleTo(&window));
    EXPECT_FALSE(control<QWidget>(window, "iPathOK")->isVisibleTo(&window));
    EXPECT_FALSE(control<QPushButton>(window, "btnAvanti")->isEnabled());

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QString title;
    uitest::DialogWatcher seen([&](QWidget& dialog) {
        title = dialog.windowTitle();
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        if (chooser) {
            EXPECT_EQ(chooser->fileMode(), QFileDialog::Directory);
        }
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(control<QWidget>(window, "iPathFAIL"), Qt::LeftButton);
    EXPECT_TRUE(seen.seen());
    EXPECT_EQ(title, "Scegli Directory...");
    EXPECT_EQ(session->InstallPath, installPath());
}

TEST_F(SessionFixture, ChosenFolderWithConfigurationRunsPhaseOneAgain) {
    start();
    testsupport::TempDir other;
    other.write("config.ini", "[MySQL]\r\nSERVER=127.0.0.1\r\nRootPass=x\r\n");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    uitest::DialogWatcher seen([&](QWidget& dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(chooser, nullptr);
        chooser->setDirectory(QString::fromStdString(other.path().string()));
        chooser->selectFile(QString::fromStdString(other.path().string()));
        QMetaObject::invokeMethod(chooser, "accept");
    });
    QTest::mouseClick(control<QWidget>(window, "iPathFAIL"), Qt::LeftButton);
    ASSERT_TRUE(seen.seen());
    EXPECT_EQ(session->InstallPath, other.str());
    auto* path = control<QLabel>(window, "LabelPercorso");
    EXPECT_EQ(path->text().toStdString(), other.str());
    EXPECT_EQ(path->palette().color(QPalette::WindowText), window.palette().color(QPalette::WindowText));
    // No HTTP client in this session: the version check fails and says so.
    EXPECT_EQ(control<QLabel>(window, "LabelStatus")->text().toStdString(), app::kTextCheckUpdateFailed);
}

TEST(AskOkCancel, InformationDialogWithOkAsDefaultAndEscapeAsCancel) {
    struct Case {
        const char* name;
        std::function<void(QMessageBox&)> act;
        bool expected;
    };
    const Case cases[] = {
        {"Enter takes the default", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); }, true},
        {"Escape is Cancel", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }, false},
        {"closing is Cancel", [](QMessageBox& b) { b.close(); }, false},
        {"Cancel button", [](QMessageBox& b) { b.button(QMessageBox::Cancel)->click(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::UpdaterWindow window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        uitest::DialogWatcher seen([&](QWidget& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Information");
            EXPECT_EQ(box->icon(), QMessageBox::Information);
            EXPECT_EQ(box->text(), "Chiudere?");
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
            c.act(*box);
        });
        EXPECT_EQ(window.askOkCancel("Chiudere?"), c.expected);
        EXPECT_TRUE(seen.seen());
    }
}

TEST(CloseBox, DuringAPhaseTheWindowStaysAndDialogsAnswerCancelByThemselves) {
    ui::UpdaterWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The close box is pressed while a phase pumps messages.
    QCoreApplication::postEvent(&window, new QCloseEvent);
    window.processMessages();
    EXPECT_TRUE(window.endRequested());
    EXPECT_TRUE(window.isVisible()) << "the phase runs to its end with the window on screen";
    // The phase's final question: no dialog appears, the answer is Cancel.
    uitest::DialogWatcher seen([](QWidget& dialog) { QTest::keyClick(&dialog, Qt::Key_Return); });
    EXPECT_FALSE(window.askOkCancel("Chiudere l'aggiornamento?"));
    EXPECT_EQ(window.chooseFolder(), "");
    QTest::qWait(50);
    EXPECT_FALSE(seen.seen());
    // Back in the message loop, with no phase running, a close ends it.
    window.close();
    EXPECT_FALSE(window.isVisible());
}

TEST(CloseBox, OutsideAPhaseTheWindowCloses) {
    ui::UpdaterWindow window;
    app::TfrmAutoUpdate session(window, {});
    ui::connectSession(window, session);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(control<QPushButton>(window, "btnEsci"), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.endRequested());
}

}  // namespace
