// The Win32 window through whole updates: the real window with the session createUpdater
// builds, under wine, against the MariaDB sandbox and an HTTP server on 127.0.0.1 (world.sh).
// QL_SCREENSHOT_DIR: where the three pages of the first run are saved (docs/).
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/frm_auto_update.h"
#include "app/texts.h"
#include "app/updater_factory.h"
#include "core/text.h"
#include "tests/support/temp_dir.h"
#include "tests/ui_win32/window_support.h"
#include "ui/win32/run_window.h"
#include "ui/win32/updater_window.h"

namespace {

namespace fs = std::filesystem;
using namespace w32test;

// The world made by world.sh: its folder (as Windows names it) and the servers' ports.
struct World {
    std::string dir;
    int httpPort = 0;
    int mysqlPort = 0;
};

std::string windowsPath(const std::string& unix) {
    std::string p = "Z:" + unix;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

std::optional<World> readWorld() {
    if (!fs::exists(QL_WIN32_WORLD_INFO)) return std::nullopt;
    std::map<std::string, std::string> values;
    std::string text = testsupport::readFile(QL_WIN32_WORLD_INFO);
    while (!text.empty()) {
        std::string line = core::SplitAt(text, '\n');
        const std::string key = core::SplitAt(line, '=');
        values[key] = line;
    }
    World w;
    w.dir = windowsPath(values["dir"]) + "\\";
    w.httpPort = std::atoi(values["port"].c_str());
    w.mysqlPort = std::atoi(values["mysql_port"].c_str());
    return w;
}

// The real window, noting the pages it showed, the questions it was asked, the download texts;
// `onDownloadCount` runs at the first "Scaricato ..." text.
class WatchedWindow : public ui::win32::UpdaterWindow {
  public:
    void setTabVisible(app::Page page, app::Visibility v) override {
        ui::win32::UpdaterWindow::setTabVisible(page, v);
        if (pages.empty() || pages.back() != currentPage()) pages.push_back(currentPage());
    }
    void setCaption(app::Label which, const std::string& text) override {
        ui::win32::UpdaterWindow::setCaption(which, text);
        if (which != app::Label::LabelDownload) return;
        downloadTexts.push_back(text);
        if (text.starts_with("Scaricato ") && onDownloadCount) {
            auto once = std::move(onDownloadCount);
            onDownloadCount = nullptr;
            once();
        }
    }
    bool askOkCancel(const std::string& text) override {
        questions.push_back(text);
        return ui::win32::UpdaterWindow::askOkCancel(text);
    }
    std::vector<int> pages;
    std::vector<std::string> downloadTexts;
    std::vector<std::string> questions;
    std::function<void()> onDownloadCount;
};

void saveScreenshot(const Shot& shot, const char* name) {
    if (const char* dir = std::getenv("QL_SCREENSHOT_DIR")) {
        EXPECT_TRUE(shot.savePng(std::string(dir) + "/" + name)) << name;
    }
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string fileText(const std::string& path) {
    return fs::exists(path) ? testsupport::readFile(path) : "<missing " + path + ">";
}

TEST(Win32WholeUpdate, AvantiThroughTheThreePagesAndOkEnds) {
    const std::optional<World> found = readWorld();
    if (!found) GTEST_SKIP() << "no world: " << QL_WIN32_WORLD_INFO;
    const World& world = *found;
    WatchedWindow win;
    app::UpdaterOptions options;
    options.installPath = world.dir + "Ostrel";
    options.serverUrl = "http://127.0.0.1:" + std::to_string(world.httpPort);
    options.tempRoot = world.dir + "tmp";
    options.mysqlPort = world.mysqlPort;
    auto session = app::createUpdater(win, options);
    ui::win32::connectSession(win, *session);
    session->FormCreate();
    win.show();

    // Page 1: the OK picture beside the path, the three companies with their pictures and badges.
    ASSERT_TRUE(IsWindowEnabled(win.control("btnAvanti")));
    const Shot page1 = grab(win);
    saveScreenshot(page1, "window-win32-page1.png");
    EXPECT_GT(page1.count(graphicRect(win, "iPathOK"), isGreenish), 10);
    EXPECT_EQ(page1.count(graphicRect(win, "iPathOK"), isYellowish), 0);
    HWND list = win.grid().handle();
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
    struct Row {
        bool alert;
        bool (*badge)(std::uint32_t);
    };
    // OSF0101: 2014a with both triggers; OSF0102: 2014b, none; OSF0103: current.
    const Row rows[] = {{true, isRed}, {true, nullptr}, {false, nullptr}};
    for (int i = 0; i < 3; ++i) {
        const RECT status =
            rectIn(win.handle(), list, win.grid().cellRect(i, ui::win32::kColStatus));
        const RECT vid = rectIn(win.handle(), list, win.grid().cellRect(i, ui::win32::kColVid));
        EXPECT_GT(page1.count(status, rows[i].alert ? isYellowish : isGreenish), 10) << i;
        EXPECT_EQ(page1.count(vid, isRed) > 50, rows[i].badge != nullptr) << i;
    }

    // Page 2 while the package comes; page 3 under the final question, answered with Enter.
    win.onDownloadCount = [&] { saveScreenshot(grab(win), "window-win32-page2.png"); };
    bool asked = false;
    whenDialogOpens(win, [&](HWND dialog) {
        asked = true;
        // The box stands over page 3: grab the page without it, then answer.
        ShowWindow(dialog, SW_HIDE);
        const Shot page3 = grab(win);
        saveScreenshot(page3, "window-win32-page3.png");
        EXPECT_GT(page3.count(graphicRect(win, "LabelInstall"), isGreenish), 50);
        ShowWindow(dialog, SW_SHOW);
        pressKey(dialog, VK_RETURN);
    });
    // The version file fetched in FormCreate went through the same client and its handlers.
    win.pages.clear();
    win.downloadTexts.clear();
    SendMessageW(win.control("btnAvanti"), BM_CLICK, 0, 0);

    EXPECT_EQ(win.pages, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(asked);
    ASSERT_EQ(win.questions.size(), 1u);
    EXPECT_EQ(win.questions[0], std::string(app::kTextInstallOkQuestion));
    EXPECT_TRUE(win.endRequested());
    EXPECT_EQ(win.graphic("LabelInstall")->text,
              std::wstring(app::kTextInstallOk.begin(), app::kTextInstallOk.end()));
    EXPECT_TRUE(IsWindowEnabled(win.control("btnFine")));
    ASSERT_GE(win.downloadTexts.size(), 3u);
    EXPECT_EQ(win.downloadTexts.front(), std::string(app::kTextDownloading));
    EXPECT_EQ(win.downloadTexts.back(), std::string(app::kTextExtracting));

    // The log, oldest last; the companies' versions as the database gives them after the run.
    const std::vector<std::string>& lines = win.logLines();
    for (const char* line :
         {">> Stop QL Services", ">> Load Script Update", ">> Begin Apply Update For OSF0101",
          ">> Launch Script db = 2014b.dbql", ">> Last Update VID = 2014c",
          ">> End Apply Update For OSF0103"})
        EXPECT_TRUE(contains(lines, line)) << line;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ">> Last Update VID = 2014c"), 3);
    HWND log = win.control("ListLog");
    EXPECT_EQ(SendMessageW(log, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(lines.size()));
    EXPECT_EQ(fileText(world.dir + "Ostrel\\QLMain.txt"), "new program 2014c\n");
    session->FormDestroy();
}

// The close box while the package downloads: the update runs to its end with the window on
// screen, the final question answers Cancel without showing, and the program ends.
TEST(Win32WholeUpdate, CloseBoxDuringTheDownloadLetsTheUpdateFinish) {
    const std::optional<World> found = readWorld();
    if (!found) GTEST_SKIP() << "no world: " << QL_WIN32_WORLD_INFO;
    const World& world = *found;
    WatchedWindow win;
    app::UpdaterOptions options;
    options.installPath = world.dir + "Ostrel2";
    options.serverUrl = "http://127.0.0.1:" + std::to_string(world.httpPort);
    options.tempRoot = world.dir + "tmp2";
    options.mysqlPort = 9;  // no database: no company to update, the rest as ever
    auto session = app::createUpdater(win, options);
    ui::win32::connectSession(win, *session);
    session->FormCreate();
    win.show();
    ASSERT_TRUE(IsWindowEnabled(win.control("btnAvanti")));
    bool stillShown = false;
    win.onDownloadCount = [&] {
        PostMessageW(win.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        stillShown = true;
    };
    bool opened = false;
    whenDialogOpens(
        win,
        [&](HWND dialog) {
            opened = true;
            pressKey(dialog, VK_RETURN);
        },
        3000);
    SendMessageW(win.control("btnAvanti"), BM_CLICK, 0, 0);

    EXPECT_TRUE(stillShown);
    EXPECT_TRUE(win.endRequested());
    EXPECT_EQ(win.pages, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(IsWindowVisible(win.handle()));
    ASSERT_EQ(win.questions.size(), 1u);
    EXPECT_FALSE(opened) << "the final question showed after the close request";
    EXPECT_EQ(fileText(world.dir + "Ostrel2\\QLMain.txt"), "new program 2014c\n");
    EXPECT_TRUE(contains(win.logLines(), ">> Restart QL Services") ||
                contains(win.logLines(), ">> Load Script Update"));
    // The temporary folder is gone, the message loop returns at once.
    EXPECT_TRUE(fs::is_empty(world.dir + "tmp2"));
    win.runMessageLoop();
    session->FormDestroy();
}

}  // namespace
