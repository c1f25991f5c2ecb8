// What the window draws, read back from the pixels of its real widgets: bold captions, disabled
// buttons, the log's one-line items, the pages' width, the status text after a re-run.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <string>

#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "tests/support/temp_dir.h"
#include "ui/fonts.h"
#include "ui/run_window.h"
#include "ui/updater_window.h"
#include "ui_test_util.h"

namespace {

using uitest::control;

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

QImage grabbed(QWidget& w) {
    QApplication::processEvents();
    return w.grab().toImage();
}

// Every bold caption drawn bold: more stroke pixels than the same text in the regular face, and
// no wider gaps between letters (a bold face with the regular outlines and the bold advances
// draws thin letters spread apart: "/ tmp/ Ostrel/").
TEST(Drawing, BoldCaptionsHaveHeavierStrokesAndNoWiderGaps) {
    ui::UpdaterWindow window;
    window.setCaption(app::Label::LabelPercorso, "/tmp/qltest/Ostrel/");
    window.setCaption(app::Label::LabelInstall, std::string(app::kTextInstallFailed));
    window.setFontColor(app::Label::LabelInstall, app::FontColor::Red);
    window.setFontStyle(app::Label::LabelInstall, app::FontStyle::Bold);
    window.setButtonEnabled(app::Button::btnFine, app::Enablement::Enabled);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    struct Case {
        const char* name;
        QColor ink;
    };
    const Case cases[] = {
        {"LabelPercorso", window.palette().color(QPalette::WindowText)},
        {"Label4", kGreen},
        {"Label5", kGreen},
        {"Label1", kGreen},
        {"LabelInstall", kRed},
        {"btnEsci", kRed},
        {"btnAvanti", kGreen},
        {"btnFine", kGreen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* w = control<QWidget>(window, c.name);
        ASSERT_NE(w, nullptr);
        const QFont bold = w->font();
        const uitest::Strokes heavy = uitest::strokes(grabbed(*w), c.ink);
        w->setFont(ui::tahoma(bold.pixelSize(), ui::Weight::Regular));
        const uitest::Strokes regular = uitest::strokes(grabbed(*w), c.ink);
        w->setFont(bold);
        ASSERT_GT(regular.pixels, 20) << "the text is drawn";
        EXPECT_GE(heavy.pixels * 100, regular.pixels * 125)
            << heavy.pixels << " against " << regular.pixels;
        EXPECT_LE(heavy.widestGap, regular.widestGap + 1);
    }
    // Back to regular on success: the same label draws thin again.
    auto* install = control<QLabel>(window, "LabelInstall");
    const int boldPixels = uitest::strokes(grabbed(*install), kRed).pixels;
    window.setFontStyle(app::Label::LabelInstall, app::FontStyle::Regular);
    EXPECT_LT(uitest::strokes(grabbed(*install), kRed).pixels * 125, boldPixels * 100);
}

TEST(Drawing, DisabledButtonsLookDisabled) {
    ui::UpdaterWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    struct Case {
        const char* name;
        app::Button button;
    };
    for (const Case& c :
         {Case{"btnAvanti", app::Button::btnAvanti}, Case{"btnFine", app::Button::btnFine}}) {
        SCOPED_TRACE(c.name);
        auto* b = control<QPushButton>(window, c.name);
        window.setButtonEnabled(c.button, app::Enablement::Enabled);
        const QImage enabled = grabbed(*b);
        window.setButtonEnabled(c.button, app::Enablement::Disabled);
        const QImage disabled = grabbed(*b);
        EXPECT_NE(enabled, disabled);
        EXPECT_GT(uitest::pixelsNear(enabled, kGreen, 24), 10) << "green text while enabled";
        EXPECT_EQ(uitest::pixelsNear(disabled, kGreen, 96), 0) << "no green text while disabled";
        const int drawn = static_cast<int>(disabled.width() * disabled.height()) -
                          uitest::pixelsNear(disabled, Qt::white, 90);
        EXPECT_GT(drawn, 10) << "the caption is still drawn";
    }
}

// ListLog draws each item on its one line, line breaks as blanks: the row of a text with breaks
// looks exactly like the row of the same text with blanks. The saved run log keeps the breaks.
TEST(Drawing, LogItemsOnOneLineWithTheExactTextSaved) {
    struct Case {
        const char* name;
        std::string logged;
        std::string shown;
    };
    const Case cases[] = {
        {"server message after CR LF", "Errore nello script\r\nTable 'osf0101.x' doesn't exist",
         "Errore nello script Table 'osf0101.x' doesn't exist"},
        {"LF", "a\nb", "a b"},
        {"CR", "a\rb", "a b"},
        {"two breaks", "a\r\n\r\nb", "a  b"},
        {"LF then CR is two breaks", "a\n\rb", "a  b"},
        {"line separator",
         "a\xE2\x80\xA8"
         "b",
         "a b"},
        {"breaks at the ends", "\r\nab\n", " ab "},
        {"no break", "Load Script Update", "Load Script Update"},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::UpdaterWindow window;
        app::TfrmAutoUpdate session(window, {});
        uitest::showOnly(window, app::Page::TabSheetFase03);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        session.AddLog(c.shown);
        session.AddLog(c.logged);
        auto* list = control<QListWidget>(window, "ListLog");
        ASSERT_EQ(list->count(), 2);
        // Under a window manager the list may get the focus and frame its current item; the
        // rows are compared without that frame.
        list->setFocusPolicy(Qt::NoFocus);
        list->clearFocus();
        list->setCurrentRow(-1);
        EXPECT_EQ(list->item(0)->text().toStdString(), ">> " + c.shown);
        const QImage image = grabbed(*list->viewport());
        const QRect withBreaks = list->visualItemRect(list->item(0));
        const QRect withBlanks = list->visualItemRect(list->item(1));
        ASSERT_EQ(withBreaks.height(), 13);
        EXPECT_EQ(image.copy(withBreaks), image.copy(withBlanks));
        EXPECT_GT(uitest::strokes(image.copy(withBreaks), Qt::black).pixels, 20);

        const std::string file = dir.str() + "log.txt";
        ASSERT_TRUE(window.saveLogToFile(file));
        if (c.logged.find('\xE2') == std::string::npos) {
            EXPECT_EQ(testsupport::readFile(file), ">> " + c.logged + "\r\n>> " + c.shown + "\r\n");
        }
    }
}

// Page 2's separator and progress bar end where page 3's do: both pages are 487 wide.
TEST(Drawing, PagesTwoAndThreeEndAtTheSameRightEdge) {
    ui::UpdaterWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto rightmostGreen = [&](const char* bar) {
        const QImage image = grabbed(window);
        const int y = control<QWidget>(window, bar)->mapTo(&window, QPoint(0, 1)).y();
        for (int x = image.width() - 1; x >= 0; --x)
            if (QColor(image.pixel(x, y)) == kGreen) return x;
        return -1;
    };
    auto rightEdge = [&](const char* name) {
        const QWidget* w = control<QWidget>(window, name);
        return w->mapTo(&window, QPoint(w->width() - 1, 0)).x();
    };
    uitest::showOnly(window, app::Page::TabSheetFase02);
    const int shape3 = rightmostGreen("Shape3");
    const int pBar = rightEdge("pBar");
    uitest::showOnly(window, app::Page::TabSheetFase03);
    const int shape4 = rightmostGreen("Shape4");
    const int shape5 = rightmostGreen("Shape5");
    ASSERT_GT(shape3, 0);
    EXPECT_EQ(shape4, shape5);
    EXPECT_EQ(shape3, shape4 - 1) << "Shape3 is 486 wide in the page of 487";
    EXPECT_EQ(pBar, rightEdge("pBarScript"));
    EXPECT_EQ(pBar, shape4);
}

// Phase 1 fails (no config.ini), the user picks a folder that has one, phase 1 succeeds: the
// page shows the OK icon and no failure text. A failed re-run still shows its own text.
TEST(Drawing, StatusTextOfAFailedRunGoesWhenARerunSucceeds) {
    class Session : public app::TfrmAutoUpdate {
      public:
        using app::TfrmAutoUpdate::TfrmAutoUpdate;
        bool checkAnswer = true;
        bool CheckUpdate() override {
            if (!checkAnswer)
                view().setCaption(app::Label::LabelStatus,
                                  std::string(app::kTextCheckUpdateFailed));
            return checkAnswer;
        }
    };
    struct Case {
        bool checkAnswer;
        std::string status;
    };
    for (const Case& c : {Case{true, ""}, Case{false, std::string(app::kTextCheckUpdateFailed)}}) {
        SCOPED_TRACE(c.checkAnswer ? "re-run succeeds" : "re-run fails its version check");
        testsupport::TempDir programFiles, other;
        other.write("config.ini", "[MySQL]\r\nSERVER=127.0.0.1\r\n");
        ui::UpdaterWindow window;
        Session session(window, host::HostSettings{programFiles.str(), {}});
        session.checkAnswer = c.checkAnswer;
        ui::connectSession(window, session);
        session.FormCreate();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        auto* status = control<QLabel>(window, "LabelStatus");
        ASSERT_GT(uitest::strokes(grabbed(*status), kRed).pixels, 50)
            << "the first run's failure is shown";

        uitest::DialogWatcher chooser([&](QWidget& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            ASSERT_NE(files, nullptr);
            files->setDirectory(QString::fromStdString(other.path().string()));
            QMetaObject::invokeMethod(files, "accept");
        });
        QTest::mouseClick(control<QWidget>(window, "iPathFAIL"), Qt::LeftButton);
        ASSERT_TRUE(chooser.seen());
        ASSERT_EQ(session.InstallPath, other.str());
        EXPECT_EQ(status->text().toStdString(), c.status);
        EXPECT_EQ(control<QWidget>(window, "iPathOK")->isVisible(), c.checkAnswer);
        EXPECT_EQ(control<QPushButton>(window, "btnAvanti")->isEnabled(), c.checkAnswer);
        const int red = uitest::strokes(grabbed(*status), kRed).pixels;
        if (c.checkAnswer) {
            EXPECT_EQ(red, 0) << "no failure text beside the OK icon";
        } else {
            EXPECT_GT(red, 50);
        }
    }
}

}  // namespace
