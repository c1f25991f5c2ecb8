// What the window draws, read back from the pixels of its real widgets: bold captions, disabled
// buttons, the log's one-line items.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <string>

#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "tests/support/temp_dir.h"
#include "ui/fonts.h"
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
    window.setFontColor(app::Label::LabelInstall, app::FontColor::Red);
    window.setFontStyle(app::Label::LabelInstall, app::FontStyle::Bold);
    window.setButtonEnabled(app::Button::btnFine, app::Enablement::Enabled);
    const std::pair<const char*, QColor> cases[] = {
        {"LabelPercorso", window.palette().color(QPalette::WindowText)},
        {"Label4", kGreen},
        {"Label5", kGreen},
        {"Label1", kGreen},
        {"LabelInstall", kRed},
        {"btnEsci", kRed},
        {"btnAvanti", kGreen},
        {"btnFine", kGreen},
    };
    for (const auto& [name, ink] : cases) {
        SCOPED_TRACE(name);
        QWidget* w = control<QWidget>(window, name);
        const QFont bold = w->font();
        const uitest::Strokes heavy = uitest::strokes(grabbed(*w), ink);
        w->setFont(ui::tahoma(bold.pixelSize(), ui::Weight::Regular));
        const uitest::Strokes regular = uitest::strokes(grabbed(*w), ink);
        w->setFont(bold);
        ASSERT_GT(regular.pixels, 20) << "the text is drawn";
        EXPECT_GE(heavy.pixels * 100, regular.pixels * 125)
            << heavy.pixels << " against " << regular.pixels;
        EXPECT_LE(heavy.widestGap, regular.widestGap + 1);
    }
    // LabelInstall goes back to regular when told: it draws thin again.
    auto* install = control<QLabel>(window, "LabelInstall");
    const int boldPixels = uitest::strokes(grabbed(*install), kRed).pixels;
    window.setFontStyle(app::Label::LabelInstall, app::FontStyle::Regular);
    EXPECT_LT(uitest::strokes(grabbed(*install), kRed).pixels * 125, boldPixels * 100);
}

TEST(Drawing, DisabledButtonsLookDisabled) {
    ui::UpdaterWindow window;
    for (const auto& [name, button] : {std::pair{"btnAvanti", app::Button::btnAvanti},
                                       std::pair{"btnFine", app::Button::btnFine}}) {
        SCOPED_TRACE(name);
        QWidget* b = control<QWidget>(window, name);
        window.setButtonEnabled(button, app::Enablement::Enabled);
        const QImage enabled = grabbed(*b);
        window.setButtonEnabled(button, app::Enablement::Disabled);
        const QImage disabled = grabbed(*b);
        EXPECT_GT(uitest::pixelsNear(enabled, kGreen, 24), 10) << "green text while enabled";
        EXPECT_EQ(uitest::pixelsNear(disabled, kGreen, 96), 0) << "no green text while disabled";
        EXPECT_LT(uitest::pixelsNear(disabled, Qt::white, 90),
                  disabled.width() * disabled.height() - 10)
            << "the caption is still drawn";
    }
}

// ListLog draws each item on its one line, line breaks as blanks: the row of a text with breaks
// looks exactly like the row of the same text with blanks. The saved run log keeps the breaks.
TEST(Drawing, LogItemsOnOneLineWithTheExactTextSaved) {
    struct Case {
        std::string logged, shown;
    };
    const Case cases[] = {
        {"Errore nello script\r\nTable 'osf0101.x' doesn't exist",
         "Errore nello script Table 'osf0101.x' doesn't exist"},
        {"a\nb", "a b"},
        {"a\rb", "a b"},
        {"a\r\n\r\nb", "a  b"},
        {"a\n\rb", "a  b"},  // LF then CR: two breaks
        {"a\xE2\x80\xA8"
         "b",
         "a b"},  // U+2028
        {"\r\nab\n", " ab "},
        {"Load Script Update", "Load Script Update"},
    };
    testsupport::TempDir dir;
    ui::UpdaterWindow window;
    app::TfrmAutoUpdate session(window, {});
    uitest::showOnly(window, app::Page::TabSheetFase03);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* list = control<QListWidget>(window, "ListLog");
    // Under a window manager the list may take the focus and frame its current item; the rows
    // are compared without that frame.
    list->setFocusPolicy(Qt::NoFocus);
    list->clearFocus();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        session.AddLog(std::string(1, '\0'));
        session.AddLog(c.shown);
        session.AddLog(c.logged);
        ASSERT_EQ(list->count(), 2);
        list->setCurrentRow(-1);
        EXPECT_EQ(list->item(0)->text().toStdString(), ">> " + c.shown);
        const QImage image = grabbed(*list->viewport());
        const QRect withBreaks = list->visualItemRect(list->item(0));
        ASSERT_EQ(withBreaks.height(), 13);
        EXPECT_EQ(image.copy(withBreaks), image.copy(list->visualItemRect(list->item(1))));
        EXPECT_GT(uitest::strokes(image.copy(withBreaks), Qt::black).pixels, 20);
        if (c.logged.find('\xE2') == std::string::npos) {  // the saved log is Windows-1252
            ASSERT_TRUE(window.saveLogToFile(dir.str() + "log.txt"));
            EXPECT_EQ(testsupport::readFile(dir.str() + "log.txt"),
                      ">> " + c.logged + "\r\n>> " + c.shown + "\r\n");
        }
    }
}

}  // namespace
