// The window's controls, pages, dialogs and close rules, with the real session driving it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "tests/support/temp_dir.h"
#include "ui/run_window.h"
#include "ui/updater_window.h"
#include "ui_test_util.h"

namespace {

using uitest::control;

TEST(UpdaterWindow, TextsFontsAndColoursOfTheControls) {
    ui::UpdaterWindow window;
    EXPECT_EQ(window.windowTitle(), "Quillora PRO Auto-Update");
    EXPECT_EQ(window.size(), QSize(495, 348));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";
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
        EXPECT_EQ(l->palette().color(QPalette::Active, QPalette::WindowText), t.colour);
        EXPECT_EQ(l->textFormat(), Qt::PlainText);
    }
    const Text buttons[] = {{"btnEsci", "Esci", 11, true, red},
                            {"btnAvanti", "Avanti", 11, true, green},
                            {"btnFine", "Fine", 11, true, green}};
    for (const Text& t : buttons) {
        SCOPED_TRACE(t.name);
        auto* b = control<QPushButton>(window, t.name);
        EXPECT_EQ(b->text(), t.text);
        EXPECT_TRUE(b->isFlat());
        EXPECT_TRUE(b->font().bold());
        EXPECT_EQ(b->palette().color(QPalette::Active, QPalette::ButtonText), t.colour);
    }
    EXPECT_FALSE(control<QPushButton>(window, "btnFine")->isEnabled());
    auto* tabs = control<QTabWidget>(window, "pctrlUpdater");
    EXPECT_EQ(tabs->tabText(0), "Controllo Installazione");
    EXPECT_EQ(tabs->tabText(1), "Download Aggiornamento");
    EXPECT_EQ(tabs->tabText(2), "Installazione Aggiornameto");
}

// What a control puts on screen, in window coordinates: a label's or a button's line of text, a
// picture's opaque part, the part of the grid its page shows, or else the whole control.
QRect drawnRect(const QWidget& window, const QWidget& w) {
    const QRect shown = QRect(w.mapTo(&window, QPoint(0, 0)), w.size());
    if (const auto* l = qobject_cast<const QLabel*>(&w)) {
        if (!l->pixmap().isNull()) {
            const QImage picture = l->pixmap().toImage();
            QRect opaque;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    if (qAlpha(picture.pixel(x, y)) > 0) opaque |= QRect(x, y, 1, 1);
            const QRect at = QStyle::alignedRect(Qt::LeftToRight, l->alignment(), picture.size(),
                                                 l->contentsRect());
            return opaque.translated(at.topLeft() + shown.topLeft());
        }
        const QRect text =
            QFontMetrics(l->font()).boundingRect(l->contentsRect(), int(l->alignment()), l->text());
        return text.translated(shown.topLeft());
    }
    if (const auto* b = qobject_cast<const QPushButton*>(&w)) {
        const QSize text = QFontMetrics(b->font()).size(Qt::TextSingleLine, b->text());
        return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, text,
                                   QRect(QPoint(0, 0), b->size()))
            .translated(shown.topLeft());
    }
    // The grid is wider than its page (501 at 3 in a page of 477): the page shows part of it.
    if (w.objectName() == "Grid") {
        const QWidget* page = w.parentWidget();
        return shown & QRect(page->mapTo(&window, QPoint(0, 0)), page->size());
    }
    return shown;
}

// The room a control gives its text: a label's contents, a button's contents inside its frame;
// an empty rectangle for a control without text.
QRect textRoom(const QWidget& window, const QWidget& w) {
    QRect room;
    if (const auto* l = qobject_cast<const QLabel*>(&w); l && l->pixmap().isNull())
        room = l->contentsRect();
    if (const auto* b = qobject_cast<const QPushButton*>(&w)) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.features = QStyleOptionButton::Flat;
        room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
    }
    return room.translated(w.mapTo(&window, QPoint(0, 0)));
}

// Every page as a run shows it: each control inside the window's client area and its page's
// sheet, no two controls drawing over each other, every text whole, also the longest a label
// carries in a run.
TEST(UpdaterWindow, LayoutOfEachPageInsideTheClientAreaWithoutOverlapAndTextsWhole) {
    testsupport::TempDir programFiles;
    ui::UpdaterWindow window;
    app::TfrmAutoUpdate session(window, host::HostSettings{programFiles.str(), {}});
    session.FormCreate();  // no config.ini: the path in red, the alert icon, the status text
    window.setCaption(app::Label::LabelDownload, "Scaricato 1024kb di 1464kb");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    struct Page {
        app::Page page;
        std::vector<const char*> controls;
        std::vector<std::pair<const char*, std::string_view>> texts;
    };
    const Page pages[] = {
        {app::Page::TabSheetFase01,
         {"Shape1", "Label4", "iPathFAIL", "LabelPercorso", "Shape", "Label5", "Grid", "Shape2",
          "LabelStatus", "btnEsci", "btnAvanti"},
         {{"LabelStatus", app::kTextPathInvalid},
          {"LabelStatus", app::kTextCheckUpdateFailed},
          {"LabelPercorso", "/home/amministratore/Programmi/Ostrel/"}}},
        {app::Page::TabSheetFase02,
         {"Image1", "Image2", "Label1", "LabelDownload", "Shape3", "pBar"},
         {{"LabelDownload", app::kTextDownloading},
          {"LabelDownload", "Scaricato 2097151kb di 2097151kb"},
          {"LabelDownload", app::kTextExtracting},
          {"LabelDownload", app::kTextDownloadFailed}}},
        {app::Page::TabSheetFase03,
         {"Bevel2", "LabelInstall", "Shape4", "Bevel1", "ListLog", "pBarScript", "Shape5", "Panel1",
          "btnFine"},
         {{"LabelInstall", app::kTextInstallOk}, {"LabelInstall", app::kTextInstallFailed}}},
    };
    auto* tabs = control<QTabWidget>(window, "pctrlUpdater");
    for (const Page& p : pages) {
        SCOPED_TRACE(app::toString(p.page));
        uitest::showOnly(window, p.page);
        const QWidget* sheet = window.pageWidget(p.page);
        const QRect sheetRect(sheet->mapTo(&window, QPoint(0, 0)), sheet->size());
        EXPECT_TRUE(window.rect().contains(sheetRect)) << "inside the client area";
        EXPECT_EQ(sheetRect.width(), 487);
        const int tab = static_cast<int>(p.page);
        EXPECT_GE(tabs->tabBar()->tabRect(tab).width(),
                  QFontMetrics(tabs->tabBar()->font()).horizontalAdvance(tabs->tabText(tab)));

        std::vector<std::pair<const QWidget*, QRect>> drawn;
        auto check = [&](const QWidget& w) {
            const QRect r = drawnRect(window, w);
            EXPECT_FALSE(r.isEmpty());
            EXPECT_TRUE(sheetRect.contains(r)) << "inside the page";
            const QRect room = textRoom(window, w);
            EXPECT_TRUE(room.isEmpty() || room.contains(r)) << "text cut";
            for (const auto& [other, otherRect] : drawn) {
                const bool apart =
                    other == &w || other->isAncestorOf(&w) || !r.intersects(otherRect);
                EXPECT_TRUE(apart) << "over " << other->objectName().toStdString();
            }
            return r;
        };
        for (const char* name : p.controls) {
            SCOPED_TRACE(name);
            const QWidget* w = control<QWidget>(window, name);
            ASSERT_TRUE(w && w->isVisible());
            drawn.emplace_back(w, check(*w));
        }
        for (const auto& [name, text] : p.texts) {
            SCOPED_TRACE(std::string(name) + ": " + std::string(text));
            auto* l = control<QLabel>(window, name);
            l->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
            if (text == app::kTextInstallFailed)
                window.setFontStyle(app::Label::LabelInstall, app::FontStyle::Bold);
            check(*l);
        }
    }
    // Page 2's bars end where page 3's do: both pages are 487 wide, and Shape3 is 486.
    auto right = [&](const char* name) {
        const QWidget* w = control<QWidget>(window, name);
        return w->mapTo(&window, QPoint(w->width(), 0)).x();
    };
    EXPECT_EQ(right("pBar"), right("pBarScript"));
    EXPECT_EQ(right("Shape3") + 1, right("Shape4"));
    // The grid shows its four columns and their titles whole within what its page shows.
    auto* grid = control<QTableView>(window, "Grid");
    int columns = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        columns += grid->columnWidth(c);
        const QString title = grid->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_GE(grid->columnWidth(c),
                  QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance(title));
    }
    EXPECT_LE(columns, drawnRect(window, *grid).width());
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

// The real session; its version check, when told, answers as a server would.
class Session : public app::TfrmAutoUpdate {
  public:
    using app::TfrmAutoUpdate::TfrmAutoUpdate;
    std::optional<bool> checkAnswer;
    bool CheckUpdate() override {
        if (!checkAnswer) return app::TfrmAutoUpdate::CheckUpdate();
        return *checkAnswer;
    }
};

struct SessionFixture : ::testing::Test {
    testsupport::TempDir programFiles;
    ui::UpdaterWindow window;
    std::unique_ptr<Session> session;

    void start() {
        session = std::make_unique<Session>(window, host::HostSettings{programFiles.str(), {}});
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

// A first run without config.ini, then the user picks a folder that has one, twice: the first
// re-run fails its version check and says so in red, the second succeeds and the page shows no
// failure text beside the OK icon.
TEST_F(SessionFixture, ChosenFolderWithConfigurationRunsPhaseOneAgain) {
    start();
    testsupport::TempDir other;
    other.write("config.ini", "[MySQL]\r\nSERVER=127.0.0.1\r\nRootPass=x\r\n");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* status = control<QLabel>(window, "LabelStatus");
    auto redStrokes = [&] {
        QApplication::processEvents();
        return uitest::strokes(status->grab().toImage(), QColor(255, 0, 0)).pixels;
    };
    ASSERT_GT(redStrokes(), 50);
    // No HTTP client in this session: without an answer the version check fails.
    for (const std::optional<bool> answer : {std::optional<bool>(), std::optional<bool>(true)}) {
        SCOPED_TRACE(answer ? "the re-run succeeds" : "the re-run fails its version check");
        session->checkAnswer = answer;
        // The user goes into the folder and confirms it, with nothing selected inside it.
        uitest::DialogWatcher seen([&](QWidget& dialog) {
            auto* chooser = qobject_cast<QFileDialog*>(&dialog);
            ASSERT_NE(chooser, nullptr);
            chooser->setDirectory(QString::fromStdString(other.path().string()));
            QMetaObject::invokeMethod(chooser, "accept");
        });
        QTest::mouseClick(control<QWidget>(window, "iPathFAIL"), Qt::LeftButton);
        ASSERT_TRUE(seen.seen());
        EXPECT_EQ(session->InstallPath, other.str());
        auto* path = control<QLabel>(window, "LabelPercorso");
        EXPECT_EQ(path->text().toStdString(), other.str());
        EXPECT_EQ(path->palette().color(QPalette::WindowText),
                  window.palette().color(QPalette::WindowText));
        EXPECT_EQ(control<QPushButton>(window, "btnAvanti")->isEnabled(), answer.has_value());
        EXPECT_EQ(status->text().toStdString(), answer ? "" : app::kTextCheckUpdateFailed);
        EXPECT_EQ(redStrokes() > 50, !answer) << "red text on the page";
    }
}

// The window and its dialogs sit in the middle of the screen, their frames included, a dialog
// also after the user has moved the window away. The chooser opens on the user's desktop, or in
// the home folder when there is none, whatever folder the file dialog remembers or the program
// runs in.
TEST(Placement, WindowAndDialogsCentredAndTheChooserAtTheDesktopOrHome) {
    testsupport::TempDir elsewhere;
    const QString elsewherePath = QString::fromStdString(elsewhere.path().string());
    QSettings(QSettings::UserScope, QStringLiteral("QtProject"))
        .setValue(QStringLiteral("FileDialog/lastVisited"), QUrl::fromLocalFile(elsewherePath));
    const QString workingDir = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewherePath));
    const QString home = QDir::homePath();

    ui::UpdaterWindow window;
    window.centreOnScreen();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->availableGeometry();
    auto offCentre = [&](const QWidget& w) {
        const QPoint d = w.frameGeometry().center() - screen.center();
        return std::max(std::abs(d.x()), std::abs(d.y()));
    };
    // A window manager frames a window some time after it is mapped.
    auto centred = [&](const QWidget& w) {
        return QTest::qWaitFor([&] { return offCentre(w) <= 1; }, 2000);
    };
    EXPECT_TRUE(centred(window)) << "off by " << offCentre(window);
    window.move(0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return offCentre(window) > 50; }, 2000));

    struct Case {
        const char* name;
        std::function<void()> open;
        bool desktop;
        QString folder;  // where the chooser opens
    };
    const Case cases[] = {
        {"AskOkCancel", [&] { window.askOkCancel("Chiudere?"); }, false, {}},
        {"ChooseFolder without a desktop", [&] { window.chooseFolder(); }, false, home},
        {"ChooseFolder with a desktop", [&] { window.chooseFolder(); }, true, home + "/Desktop"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.desktop) {
            ASSERT_TRUE(QDir(home).mkpath(QStringLiteral("Desktop")));
        }
        bool wasCentred = false;
        QString opened;
        uitest::DialogWatcher seen([&](QWidget& dialog) {
            wasCentred = centred(dialog);
            if (auto* chooser = qobject_cast<QFileDialog*>(&dialog))
                opened = chooser->directory().absolutePath();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        c.open();
        ASSERT_TRUE(seen.seen());
        EXPECT_TRUE(wasCentred);
        EXPECT_EQ(opened.toStdString(), c.folder.toStdString());
    }
    QDir(home).rmdir(QStringLiteral("Desktop"));
    QDir::setCurrent(workingDir);
}

TEST(AskOkCancel, InformationDialogWithOkAsDefaultAndEscapeAsCancel) {
    struct Case {
        const char* name;
        std::function<void(QMessageBox&)> act;
        bool expected;
    };
    const Case cases[] = {
        {"Enter takes the default", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); },
         true},
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
