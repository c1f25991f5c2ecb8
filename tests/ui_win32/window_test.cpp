// The Win32 window on a virtual screen: what it draws (grabbed from the screen), its dialogs
// driven by keys from inside their own message loops, the close box while a phase runs.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <memory>
#include <string>
#include <vector>

#include "app/company_table.h"
#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "app/updater_factory.h"
#include "tests/support/temp_dir.h"
#include "tests/ui_win32/window_support.h"
#include "ui/win32/run_window.h"
#include "ui/win32/updater_window.h"

namespace {

using namespace w32test;
using ui::win32::UpdaterWindow;

std::wstring windowText(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

std::wstring listItem(HWND list, int index) {
    wchar_t text[512] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

RECT inset(RECT r, int by) {
    InflateRect(&r, -by, -by);
    return r;
}

bool inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// The page of the first phase after the window is created, as FormCreate leaves it.
void openAtPageOne(UpdaterWindow& w) {
    w.selectFirstPage();
    w.setTabVisible(app::Page::TabSheetFase02, app::Visibility::Hidden);
    w.setTabVisible(app::Page::TabSheetFase03, app::Visibility::Hidden);
    w.show();
}

void moveTo(UpdaterWindow& w, int page) {
    const app::Page pages[] = {app::Page::TabSheetFase01, app::Page::TabSheetFase02,
                               app::Page::TabSheetFase03};
    w.setTabVisible(pages[page], app::Visibility::Shown);
    w.setTabVisible(pages[page - 1], app::Visibility::Hidden);
}

TEST(Win32Window, FixedDialogFrameWithOnePageAndItsTabAtATime) {
    UpdaterWindow w;
    openAtPageOne(w);
    EXPECT_EQ(windowText(w.handle()), L"Quillora PRO Auto-Update");
    RECT client{};
    GetClientRect(w.handle(), &client);
    EXPECT_EQ(client.right, 495);
    EXPECT_EQ(client.bottom, 348);
    const LONG style = GetWindowLongW(w.handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

    HWND tabs = w.control("pctrlUpdater");
    for (int page = 0; page < 3; ++page) {
        if (page > 0) moveTo(w, page);
        EXPECT_EQ(w.currentPage(), page);
        EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 1) << "page " << page;
        for (int other = 0; other < 3; ++other)
            EXPECT_EQ(IsWindowVisible(w.pageWindow(other)) != 0, other == page) << page << other;
        // A click on the tab asks the page control to change pages: it refuses.
        NMHDR changing{tabs, 100, static_cast<UINT>(TCN_SELCHANGING)};
        EXPECT_TRUE(SendMessageW(w.handle(), WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&changing)));
        // Each sheet is 487 wide inside a border of 4, and inside the client area.
        const RECT sheet = clientRectIn(w.handle(), w.pageWindow(page));
        EXPECT_EQ(sheet.right - sheet.left, 487);
        EXPECT_EQ(sheet.left, 4);
        EXPECT_TRUE(inside(sheet, client));
    }
}

// Phase 1 through the real session against a folder without config.ini: the alert picture,
// the red path, the status text, a disabled "Avanti", and the chooser cancelled by Escape.
TEST(Win32Window, FailedFirstPhaseAsDrawnAndTheChooserCancelled) {
    testsupport::TempDir dir;
    UpdaterWindow w;
    app::UpdaterOptions options;
    options.installPath = dir.str() + "nowhere";
    options.serverUrl = "http://127.0.0.1:9";
    options.tempRoot = dir.str();
    auto session = app::createUpdater(w, options);
    ui::win32::connectSession(w, *session);
    session->FormCreate();
    w.show();
    const Shot shot = grab(w);

    const RECT picture = graphicRect(w, "iPathFAIL");
    EXPECT_GT(shot.count(picture, isYellowish), 20);
    EXPECT_EQ(shot.count(picture, isGreenish), 0) << "iPathOK shows too";
    const RECT path = graphicRect(w, "LabelPercorso");
    EXPECT_GT(shot.count(path, isRed), 30);
    const RECT status = graphicRect(w, "LabelStatus");
    EXPECT_GT(shot.count(status, isRed), 30);
    EXPECT_EQ(w.graphic("LabelStatus")->text,
              L"" + std::wstring(app::kTextPathInvalid.begin(), app::kTextPathInvalid.end()));
    // Disabled "Avanti" is grey, without its green; "Esci" keeps its red.
    const RECT avanti = clientRectIn(w.handle(), w.control("btnAvanti"));
    EXPECT_FALSE(IsWindowEnabled(w.control("btnAvanti")));
    EXPECT_EQ(shot.count(avanti, isGreenish), 0);
    EXPECT_GT(shot.count(inset(avanti, 3), isDrawn), 20);
    EXPECT_GT(shot.count(clientRectIn(w.handle(), w.control("btnEsci")), isRed), 20);

    // A click on the alert picture opens the chooser; Escape cancels it and nothing changes.
    const std::wstring before = w.graphic("LabelPercorso")->text;
    const std::string installPath = session->InstallPath;
    std::wstring title;
    whenDialogOpens(w, [&](HWND dialog) {
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM found) -> BOOL {
                if (windowText(child) == L"Scegli Directory...")
                    *reinterpret_cast<std::wstring*>(found) = windowText(child);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&title));
        pressKey(dialog, VK_ESCAPE);
    });
    const ui::win32::Graphic& fail = *w.graphic("iPathFAIL");
    const LPARAM at = MAKELPARAM(fail.rect.left + 12, fail.rect.top + 12);
    SendMessageW(w.pageWindow(0), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(w.pageWindow(0), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(title, L"Scegli Directory...");
    EXPECT_EQ(w.graphic("LabelPercorso")->text, before);
    EXPECT_EQ(session->InstallPath, installPath);
    session->FormDestroy();
}

TEST(Win32Grid, StatusPictureByVersionOrderAndTriggerBadgeInsideTheirCells) {
    struct Row {
        const char* name;
        const char* vid;
        bool trig, trin;
        bool alert;                    // the alert picture, else the OK picture
        bool (*badge)(std::uint32_t);  // the badge's colour, or none
    };
    const Row rows[] = {
        {"same as the latest", "2013a", false, false, false, nullptr},
        {"a proper prefix of the latest", "2013", true, true, true, isRed},
        {"after the latest", "2014", false, true, false, isNavy},
        {"only the server trigger", "2012", true, false, true, isRed},
    };
    app::CompanyTable table;
    table.Open();
    for (const Row& r : rows) table.Append({r.name, "OSF", "2013.1", r.vid, r.trig, r.trin});
    UpdaterWindow w;
    openAtPageOne(w);
    w.companiesChanged(table, "2013a");
    const Shot shot = grab(w);

    ui::win32::CompanyGrid& grid = w.grid();
    HWND list = grid.handle();
    for (int i = 0; i < static_cast<int>(std::size(rows)); ++i) {
        const Row& r = rows[i];
        const RECT status = rectIn(w.handle(), list, grid.cellRect(i, ui::win32::kColStatus));
        const RECT vid = rectIn(w.handle(), list, grid.cellRect(i, ui::win32::kColVid));
        if (r.alert) {
            EXPECT_GT(shot.count(status, isYellowish), 15) << r.name;
        } else {
            EXPECT_GT(shot.count(status, isGreenish), 10) << r.name;
            EXPECT_EQ(shot.count(status, isYellowish), 0) << r.name;
        }
        // The picture at the cell's top-left corner, all of it inside the cell.
        const RECT drawn = shot.bounds(status, r.alert ? isYellowish : isGreenish);
        EXPECT_LE(drawn.right, status.left + 16) << r.name;
        EXPECT_LT(drawn.left, status.left + 8) << r.name;
        // The badge: 24 x 12 from right - 26, top + 2; none of its colour in the status cell.
        EXPECT_EQ(shot.count(status, isRed) + shot.count(status, isNavy), 0) << r.name;
        if (!r.badge) {
            EXPECT_EQ(shot.count(vid, isRed) + shot.count(vid, isNavy), 0) << r.name;
            continue;
        }
        const RECT box = shot.bounds(vid, r.badge);
        EXPECT_EQ(box.left, vid.right - 26) << r.name;
        EXPECT_EQ(box.top, vid.top + 2) << r.name;
        EXPECT_LE(box.right, vid.right) << r.name;
        EXPECT_GE(box.bottom, vid.top + 14) << r.name;
        EXPECT_LE(box.bottom, vid.top + 15) << r.name;
        // "TRI" in white on it.
        int white = 0;
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x) white += shot.at(x, y) == 0xFFFFFF;
        EXPECT_GT(white, 8) << r.name;
        EXPECT_GT(shot.count(box, r.badge), 24 * 12 / 2) << r.name;
    }

    // Column widths: the name 262, the fields' display sizes, the status 16, each with the
    // pixel of its grid line; read-only (no label editing).
    HDC dc = GetDC(list);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE zero{}, vers{};
    GetTextExtentPoint32W(dc, L"0", 1, &zero);
    GetTextExtentPoint32W(dc, L"VERSIONE", 8, &vers);
    ReleaseDC(list, dc);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 263);
    // At least the title with the title row's margins, so that it shows whole.
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0),
              std::max(10 * zero.cx + 4, vers.cx + 6 * GetSystemMetrics(SM_CXEDGE)) + 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0), 20 * zero.cx + 4 + 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), 17);
    EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & LVS_EDITLABELS);

    // A closed table: no rows, nothing custom-drawn.
    table.Close();
    w.companiesChanged(table, "2013a");
    const Shot empty = grab(w);
    const RECT gridArea = clientRectIn(w.handle(), list);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(empty.count(gridArea, isYellowish) + empty.count(gridArea, isRed), 0);
}

// Bold is drawn heavier than regular; red is red; a disabled "Fine" has no green.
TEST(Win32Window, BoldIsBoldAndADisabledButtonLooksDisabled) {
    UpdaterWindow w;
    openAtPageOne(w);
    moveTo(w, 1);
    moveTo(w, 2);
    const RECT label = graphicRect(w, "LabelInstall");
    const RECT fine = clientRectIn(w.handle(), w.control("btnFine"));
    w.setCaption(app::Label::LabelInstall, std::string(app::kTextInstallFailed));
    const Shot regular = grab(w);
    EXPECT_EQ(regular.count(fine, isGreenish), 0) << "disabled Fine drawn in its colour";
    EXPECT_GT(regular.count(inset(fine, 3), isDrawn), 10);

    w.setFontStyle(app::Label::LabelInstall, app::FontStyle::Bold);
    w.setButtonEnabled(app::Button::btnFine, app::Enablement::Enabled);
    const Shot bold = grab(w);
    const int regularInk = regular.count(label, isGreenish);
    const int boldInk = bold.count(label, isGreenish);
    EXPECT_GT(regularInk, 100);
    EXPECT_GT(boldInk * 10, regularInk * 13) << "bold " << boldInk << ", regular " << regularInk;
    // The whole text still fits: its ink ends before the label does.
    EXPECT_LT(bold.bounds(label, isGreenish).right, label.right);
    w.setFontColor(app::Label::LabelInstall, app::FontColor::Red);
    const Shot red = grab(w);
    EXPECT_GT(red.count(label, isRed), 100);
    EXPECT_EQ(red.count(label, isGreenish), 0);
    EXPECT_GT(red.count(fine, isGreenish), 10);
}

TEST(Win32Window, LogNewestOnTopOneLineEachSavedExactly) {
    testsupport::TempDir dir;
    UpdaterWindow w;
    openAtPageOne(w);
    HWND list = w.control("ListLog");
    EXPECT_EQ(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), 13);
    const std::string lines[] = {">> A", ">> errore\r\nTable 'x' doesn't exist", ">> C\nD"};
    for (const std::string& l : lines) w.insertLogLine(l);
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(listItem(list, 0), L">> C D");
    EXPECT_EQ(listItem(list, 1), L">> errore Table 'x' doesn't exist");
    EXPECT_EQ(listItem(list, 2), L">> A");
    const std::string file = dir.str() + "log.txt";
    ASSERT_TRUE(w.saveLogToFile(file));
    EXPECT_EQ(testsupport::readFile(file),
              ">> C\nD\r\n>> errore\r\nTable 'x' doesn't exist\r\n>> A\r\n");
    w.clearLog();
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
}

// Every control inside the client area and its sheet; labels whole with the longest texts they
// carry; nothing of the wide grid past the sheet's edge.
TEST(Win32Window, LayoutInsideTheClientAreaAndLabelsWhole) {
    UpdaterWindow w;
    openAtPageOne(w);
    w.setCaption(app::Label::LabelPercorso, "C:\\Program Files (x86)\\Ostrel\\");
    w.setCaption(app::Label::LabelStatus, std::string(app::kTextPathInvalid));
    w.setCaption(app::Label::LabelDownload, "Scaricato 2097151kb di 2097151kb");
    w.setCaption(app::Label::LabelInstall, std::string(app::kTextInstallFailed));
    w.setFontStyle(app::Label::LabelInstall, app::FontStyle::Bold);
    app::CompanyTable table;
    table.Open();
    for (int i = 0; i < 12; ++i)
        table.Append({"Azienda " + std::to_string(i), "OSF", "2013.1", "2013a", true, false});
    w.companiesChanged(table, "2013a");
    RECT client{};
    GetClientRect(w.handle(), &client);
    HDC dc = GetDC(w.handle());
    for (int page = 0; page < 3; ++page) {
        if (page > 0) moveTo(w, page);
        const Shot shot = grab(w);
        const RECT sheet = clientRectIn(w.handle(), w.pageWindow(page));
        for (const ui::win32::Graphic& g : w.graphics()) {
            if (g.page != page) continue;
            const RECT r = graphicRect(w, g.name);
            EXPECT_TRUE(inside(r, sheet)) << g.name;
            if (g.kind != ui::win32::Graphic::Kind::Label || g.text.empty()) continue;
            const SIZE text = ui::win32::textSize(dc, g.text, w.fonts().tahoma(g.fontPx, g.weight));
            EXPECT_LE(text.cx, r.right - r.left) << g.name;
            EXPECT_LE(text.cy, r.bottom - r.top + 3) << g.name;
            EXPECT_GT(shot.count(r, isInk), 20) << g.name;
        }
        for (const char* name :
             {"btnEsci", "btnAvanti", "pBar", "ListLog", "pBarScript", "btnFine"}) {
            HWND c = w.control(name);
            if (GetParent(c) != w.pageWindow(page)) continue;
            EXPECT_TRUE(inside(clientRectIn(w.handle(), c), sheet)) << name;
        }
        // Right of the sheet the page control's own background, untouched by the grid.
        const RECT strip{sheet.right, sheet.top, client.right, sheet.bottom};
        const std::uint32_t background = shot.at(client.right - 1, sheet.top + 1);
        EXPECT_EQ(shot.count(strip, [&](std::uint32_t p) { return p != background; }), 0)
            << "page " << page;
    }
    ReleaseDC(w.handle(), dc);
}

TEST(Win32Dialogs, AskOkCancelAnswersByKeyAndByClosing) {
    struct Case {
        const char* name;
        std::function<void(UpdaterWindow&, HWND)> act;
        bool expected;
    };
    const Case cases[] = {
        {"Enter chooses OK", [](UpdaterWindow&, HWND d) { pressKey(d, VK_RETURN); }, true},
        {"Escape chooses Cancel", [](UpdaterWindow&, HWND d) { pressKey(d, VK_ESCAPE); }, false},
        {"the box's close box is Cancel",
         [](UpdaterWindow&, HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
        // The window's own close box is disabled under the box; a close request still comes
        // (the taskbar, the session ending).
        {"a close request to the window is Cancel",
         [](UpdaterWindow& w, HWND) { PostMessageW(w.handle(), WM_CLOSE, 0, 0); }, false},
    };
    for (const Case& c : cases) {
        UpdaterWindow w;
        openAtPageOne(w);
        std::wstring caption;
        bool centred = false;
        whenDialogOpens(w, [&](HWND dialog) {
            caption = windowText(dialog);
            RECT box{};
            GetWindowRect(dialog, &box);
            MONITORINFO m{};
            m.cbSize = sizeof m;
            GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &m);
            centred = std::abs((box.left + box.right) - (m.rcWork.left + m.rcWork.right)) <= 2 &&
                      std::abs((box.top + box.bottom) - (m.rcWork.top + m.rcWork.bottom)) <= 2;
            c.act(w, dialog);
        });
        EXPECT_EQ(w.askOkCancel(std::string(app::kTextInstallOkQuestion)), c.expected) << c.name;
        EXPECT_EQ(caption, L"Information") << c.name;
        EXPECT_TRUE(centred) << c.name;
        EXPECT_EQ(w.openDialog(), nullptr) << c.name;
    }
}

// The close box while a phase runs: the phase goes on with the window on screen, dialogs opened
// afterwards answer Cancel without showing, and the message loop ends once it is back.
TEST(Win32Window, CloseBoxDuringAPhaseLetsItFinishThenEnds) {
    UpdaterWindow w;
    openAtPageOne(w);
    moveTo(w, 1);
    after(50, [&] { PostMessageW(w.handle(), WM_SYSCOMMAND, SC_CLOSE, 0); });
    int pumpsAfterClose = 0;
    for (int i = 0; i < 40; ++i) {  // a phase that lets the window handle its messages
        w.setDownloadBarPosition(i);
        w.processMessages();
        Sleep(5);
        if (w.endRequested()) ++pumpsAfterClose;
    }
    EXPECT_TRUE(w.endRequested());
    EXPECT_GT(pumpsAfterClose, 5);
    EXPECT_TRUE(IsWindowVisible(w.handle()));
    bool opened = false;
    whenDialogOpens(
        w,
        [&](HWND d) {
            opened = true;
            pressKey(d, VK_RETURN);
        },
        300);
    EXPECT_FALSE(w.askOkCancel("chiudere?"));
    EXPECT_EQ(w.chooseFolder(), "");
    pump(400);
    EXPECT_FALSE(opened);
    w.runMessageLoop();  // returns at once
    EXPECT_FALSE(IsWindowVisible(w.handle()));
}

}  // namespace
