#include "ui/win32/updater_window.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>

#include "app/run_log.h"
#include "ui/win32/resources.h"

namespace ui::win32 {
namespace {

constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr wchar_t kWindowClass[] = L"TfrmAutoUpdate";
constexpr wchar_t kPageClass[] = L"TTabSheet";
constexpr wchar_t kCaption[] = L"Quillora PRO Auto-Update";
// The frame of a fixed dialog with a close box and nothing else; its own taskbar button.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

enum ControlId : int {
    kIdTabs = 100,
    kIdEsci,
    kIdAvanti,
    kIdFine,
    kIdGrid,
    kIdListLog,
    kIdBar,
    kIdScriptBar,
};

int pageIndex(app::Page p) {
    switch (p) {
        case app::Page::TabSheetFase01:
            return 0;
        case app::Page::TabSheetFase02:
            return 1;
        case app::Page::TabSheetFase03:
            return 2;
    }
    return 0;
}

const wchar_t* const kTabCaptions[] = {L"Controllo Installazione", L"Download Aggiornamento",
                                       L"Installazione Aggiornameto"};

UpdaterWindow* windowOf(HWND hwnd) {
    return reinterpret_cast<UpdaterWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    UpdaterWindow* window = windowOf(hwnd);
    if (!window || !window->handle()) return DefWindowProcW(hwnd, message, w, l);
    return window->windowMessage(message, w, l);
}

LRESULT CALLBACK pageProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    UpdaterWindow* window = windowOf(hwnd);
    if (!window) return DefWindowProcW(hwnd, message, w, l);
    return window->pageMessage(hwnd, message, w, l);
}

void registerClasses() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                                           ICC_LISTVIEW_CLASSES |
                                                           ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = windowProc;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        c.lpszClassName = kWindowClass;
        RegisterClassExW(&c);
        c.lpfnWndProc = pageProc;
        c.lpszClassName = kPageClass;
        RegisterClassExW(&c);
        return true;
    }();
    (void)registered;
}

// The dialog of a modal run (a message box, the folder chooser) is the first dialog window our
// thread activates while it runs.
thread_local UpdaterWindow* t_dialogOwner = nullptr;

bool isDialogClass(HWND hwnd) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    return lstrcmpW(cls, L"#32770") == 0;
}

LRESULT CALLBACK dialogHook(int code, WPARAM w, LPARAM l) {
    if ((code == HCBT_ACTIVATE || code == HCBT_SETFOCUS) && t_dialogOwner) {
        // A focus change names the window getting the focus: a control of the dialog.
        HWND hwnd = reinterpret_cast<HWND>(w);
        if (code == HCBT_SETFOCUS && hwnd) hwnd = GetAncestor(hwnd, GA_ROOT);
        if (hwnd && isDialogClass(hwnd) && !t_dialogOwner->openDialog())
            t_dialogOwner->dialogOpened(hwnd);
    }
    return CallNextHookEx(nullptr, code, w, l);
}

void centreOnWorkArea(HWND hwnd) {
    RECT frame{};
    GetWindowRect(hwnd, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

UpdaterWindow::UpdaterWindow()
    : m_okPicture(kPictureOk),
      m_alertPicture(kPictureAlert),
      m_updatePicture(kPictureUpdate),
      m_logoPicture(kPictureLogo) {
    // The shell's folder chooser needs COM on this thread.
    m_comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    registerClasses();
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    m_hwnd = CreateWindowExW(kWindowExStyle, kWindowClass, kCaption, kWindowStyle, CW_USEDEFAULT,
                             CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                             nullptr, nullptr, GetModuleHandleW(nullptr), this);
    const Font& font = m_fonts.tahoma(11, Weight::Regular);

    m_tabs = CreateWindowExW(0, WC_TABCONTROLW, L"pctrlUpdater",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_BUTTONS |
                                 TCS_FLATBUTTONS | TCS_MULTILINE | TCS_FOCUSNEVER,
                             0, 0, kClientWidth, kClientHeight, m_hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdTabs)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_tabs, WM_SETFONT, reinterpret_cast<WPARAM>(font.handle), FALSE);
    m_controls.emplace_back("pctrlUpdater", m_tabs);
    rebuildTabs();
    const RECT sheet = sheetRect();
    m_sheetHeight = sheet.bottom - sheet.top;
    const char* names[] = {"TabSheetFase01", "TabSheetFase02", "TabSheetFase03"};
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i] = CreateWindowExW(0, kPageClass, kTabCaptions[i], WS_CHILD | WS_CLIPCHILDREN,
                                     sheet.left, sheet.top, kPageWidth, m_sheetHeight, m_hwnd,
                                     nullptr, GetModuleHandleW(nullptr), this);
        SetWindowPos(m_pages[i], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        m_controls.emplace_back(names[i], m_pages[i]);
    }
    buildPage1();
    buildPage2();
    buildPage3();
    showCurrentPage();
}

UpdaterWindow::~UpdaterWindow() {
    m_grid.reset();
    if (m_hwnd) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        for (HWND page : m_pages) SetWindowLongPtrW(page, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
    if (m_comInitialised) CoUninitialize();
}

RECT UpdaterWindow::sheetRect() const {
    // The display area below the tab buttons, less the page control's border.
    RECT r{0, 0, kClientWidth, kClientHeight};
    SendMessageW(m_tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return RECT{kPageBorder, r.top, kPageBorder + kPageWidth, kClientHeight - kPageBorder};
}

Graphic& UpdaterWindow::addGraphic(Graphic g) {
    m_graphics.push_back(std::move(g));
    return m_graphics.back();
}

HWND UpdaterWindow::addChild(int page, const wchar_t* cls, const char* name, DWORD style,
                             DWORD exStyle, int id, const RECT& r) {
    HWND child = CreateWindowExW(
        exStyle, cls, nullptr, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
        r.bottom - r.top, m_pages[static_cast<std::size_t>(page)],
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(child, WM_SETFONT,
                 reinterpret_cast<WPARAM>(m_fonts.tahoma(11, Weight::Regular).handle), FALSE);
    m_controls.emplace_back(name, child);
    return child;
}

HWND UpdaterWindow::addButton(int page, const char* name, const wchar_t* text, int id,
                              const RECT& r, COLORREF colour) {
    HWND b = addChild(page, L"BUTTON", name, WS_TABSTOP | BS_OWNERDRAW, 0, id, r);
    SetWindowTextW(b, text);
    m_buttonColours.emplace_back(b, colour);
    return b;
}

void UpdaterWindow::buildPage1() {
    // Page 1 keeps an inner border of 5 inside its sheet.
    auto at = [](int x, int y, int w, int h) { return RECT{5 + x, 5 + y, 5 + x + w, 5 + y + h}; };
    HDC dc = GetDC(m_hwnd);
    auto fitted = [&](int x, int y, const wchar_t* text, int px, Weight weight) {
        const SIZE s = textSize(dc, text, m_fonts.tahoma(px, weight));
        return at(x, y, s.cx, s.cy);
    };
    addGraphic({"Shape1", Graphic::Kind::Bar, 0, at(3, 3, 470, 3), {}, 11, {}, kGreen});
    addGraphic({"Label4", Graphic::Kind::Label, 0,
                fitted(3, 12, L"Percorso Quillora Pro", 13, Weight::Bold), L"Percorso Quillora Pro",
                13, Weight::Bold, kGreen});
    Graphic ok{"iPathOK", Graphic::Kind::Image, 0, at(3, 34, 24, 24), {}};
    ok.picture = &m_okPicture;
    ok.centred = true;
    addGraphic(ok);
    Graphic fail{"iPathFAIL", Graphic::Kind::Image, 0, at(3, 34, 24, 24), {}};
    fail.picture = &m_alertPicture;
    fail.centred = true;
    addGraphic(fail);
    Graphic path{"LabelPercorso", Graphic::Kind::Label,         0, at(33, 34, 432, 24), {}, 16,
                 Weight::Bold,    GetSysColor(COLOR_WINDOWTEXT)};
    path.opaque = true;
    addGraphic(path);
    addGraphic({"Shape", Graphic::Kind::Bar, 0, at(3, 64, 470, 3), {}, 11, {}, kGreen});
    addGraphic({"Label5", Graphic::Kind::Label, 0,
                fitted(3, 72, L"Aziende Attive", 13, Weight::Bold), L"Aziende Attive", 13,
                Weight::Bold, kGreen});
    ReleaseDC(m_hwnd, dc);
    m_grid = std::make_unique<CompanyGrid>(m_pages[0], kIdGrid, at(3, 94, 501, 156), m_fonts,
                                           m_okPicture, m_alertPicture);
    m_controls.emplace_back("Grid", m_grid->handle());
    addGraphic({"Shape2", Graphic::Kind::Bar, 0, at(3, 256, 470, 3), {}, 11, {}, kGreen});
    addGraphic({"LabelStatus",
                Graphic::Kind::Label,
                0,
                at(3, 261, 470, 13),
                {},
                11,
                Weight::Regular,
                kRed});
    addButton(0, "btnEsci", L"Esci", kIdEsci, at(309, 280, 79, 24), kRed);
    m_btnAvanti = addButton(0, "btnAvanti", L"Avanti", kIdAvanti, at(394, 280, 79, 24), kGreen);
}

void UpdaterWindow::buildPage2() {
    Graphic update{"Image1", Graphic::Kind::Image, 1, RECT{0, 24, 484, 153}, {}};
    update.picture = &m_updatePicture;
    addGraphic(update);
    Graphic logo{"Image2", Graphic::Kind::Image, 1, RECT{136, 103, 257, 137}, {}};
    logo.picture = &m_logoPicture;
    addGraphic(logo);
    addGraphic({"Label1", Graphic::Kind::Label, 1, RECT{0, 159, 484, 185},
                L"Download package di aggiornamento in corso...", 16, Weight::Bold, kGreen});
    addGraphic({"LabelDownload",
                Graphic::Kind::Label,
                1,
                RECT{0, 178, 484, 204},
                {},
                13,
                Weight::Regular,
                kGreen});
    addGraphic({"Shape3", Graphic::Kind::Bar, 1, RECT{0, 291, 486, 294}, {}, 11, {}, kGreen});
    // pBar runs along the bottom edge.
    m_pBar = addChild(1, PROGRESS_CLASSW, "pBar", 0, 0, kIdBar,
                      RECT{0, m_sheetHeight - 17, kPageWidth, m_sheetHeight});
    SendMessageW(m_pBar, PBM_SETRANGE32, 0, 100);
}

void UpdaterWindow::buildPage3() {
    // From top to bottom, each across the page; the log takes what the others leave.
    int y = 10;  // Bevel2
    auto row = [&](int height) {
        const RECT r{0, y, kPageWidth, y + height};
        y += height;
        return r;
    };
    addGraphic({"LabelInstall", Graphic::Kind::Label, 2, row(16),
                L"Applicazione Aggiornamenti in corso...", 11, Weight::Regular, kGreen});
    addGraphic({"Shape4", Graphic::Kind::Bar, 2, row(3), {}, 11, {}, kGreen});
    y += 10;  // Bevel1
    const int below = 16 + 3 + 35;
    m_listLog = addChild(2, L"LISTBOX", "ListLog", WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                         WS_EX_CLIENTEDGE, kIdListLog, row(m_sheetHeight - y - below));
    SendMessageW(m_listLog, LB_SETITEMHEIGHT, 0, kLogItemHeight);
    m_pBarScript = addChild(2, PROGRESS_CLASSW, "pBarScript", 0, 0, kIdScriptBar, row(16));
    SendMessageW(m_pBarScript, PBM_SETRANGE32, 0, 100);
    addGraphic({"Shape5", Graphic::Kind::Bar, 2, row(3), {}, 11, {}, kGreen});
    // Panel1 holds "Fine" at 405, 6.
    const RECT panel = row(35);
    m_btnFine = addButton(2, "btnFine", L"Fine", kIdFine,
                          RECT{405, panel.top + 6, 405 + 79, panel.top + 30}, kGreen);
    EnableWindow(m_btnFine, FALSE);
}

HWND UpdaterWindow::control(const std::string& name) const {
    for (const auto& [n, hwnd] : m_controls)
        if (n == name) return hwnd;
    return nullptr;
}

const Graphic* UpdaterWindow::graphic(const std::string& name) const {
    for (const Graphic& g : m_graphics)
        if (name == g.name) return &g;
    return nullptr;
}

Graphic& UpdaterWindow::graphicOf(app::Label label) {
    const char* name = app::toString(label);
    for (Graphic& g : m_graphics)
        if (std::string_view(name) == g.name) return g;
    return m_graphics.front();  // every label is built
}

void UpdaterWindow::invalidate(const Graphic& g) {
    InvalidateRect(m_pages[static_cast<std::size_t>(g.page)], &g.rect, TRUE);
}

void UpdaterWindow::show() {
    centreOnWorkArea(m_hwnd);
    ShowWindow(m_hwnd, SW_SHOW);
    UpdateWindow(m_hwnd);
}

bool UpdaterWindow::tabShown(app::Page page) const {
    return m_tabVisible[static_cast<std::size_t>(pageIndex(page))];
}

void UpdaterWindow::rebuildTabs() {
    // A tab control cannot hide a tab: it holds the visible ones, each naming its page.
    SendMessageW(m_tabs, TCM_DELETEALLITEMS, 0, 0);
    int position = 0;
    for (int i = 0; i < 3; ++i) {
        if (!m_tabVisible[static_cast<std::size_t>(i)]) continue;
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<wchar_t*>(kTabCaptions[i]);
        item.lParam = i;
        SendMessageW(m_tabs, TCM_INSERTITEMW, static_cast<WPARAM>(position),
                     reinterpret_cast<LPARAM>(&item));
        if (i == m_current) SendMessageW(m_tabs, TCM_SETCURSEL, static_cast<WPARAM>(position), 0);
        ++position;
    }
}

void UpdaterWindow::showCurrentPage() {
    rebuildTabs();
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        ShowWindow(m_pages[i], static_cast<int>(i) == m_current ? SW_SHOW : SW_HIDE);
}

void UpdaterWindow::selectFirstPage() {
    m_current = 0;
    showCurrentPage();
}

void UpdaterWindow::setTabVisible(app::Page page, app::Visibility v) {
    const int index = pageIndex(page);
    const bool shown = v == app::Visibility::Shown;
    bool othersHidden = true;
    for (int i = 0; i < 3; ++i)
        if (i != index && m_tabVisible[static_cast<std::size_t>(i)]) othersHidden = false;
    m_tabVisible[static_cast<std::size_t>(index)] = shown;
    // Showing a tab while no other is visible makes its page the one shown; the page shown
    // always has a visible tab when there is one.
    if (shown && othersHidden) m_current = index;
    if (!m_tabVisible[static_cast<std::size_t>(m_current)])
        for (int i = 0; i < 3; ++i)
            if (m_tabVisible[static_cast<std::size_t>(i)]) {
                m_current = i;
                break;
            }
    showCurrentPage();
}

void UpdaterWindow::setCaption(app::Label label, const std::string& text) {
    Graphic& g = graphicOf(label);
    g.text = host::win32::toWide(text);
    invalidate(g);
}

void UpdaterWindow::setFontColor(app::Label label, app::FontColor color) {
    Graphic& g = graphicOf(label);
    g.colour = color == app::FontColor::Red ? kRed : GetSysColor(COLOR_WINDOWTEXT);
    invalidate(g);
}

void UpdaterWindow::setFontStyle(app::Label label, app::FontStyle style) {
    Graphic& g = graphicOf(label);
    g.weight = style == app::FontStyle::Bold ? Weight::Bold : Weight::Regular;
    invalidate(g);
}

void UpdaterWindow::setImageVisible(app::Image image, app::Visibility v) {
    const bool shown = v == app::Visibility::Shown;
    for (Graphic& g : m_graphics)
        if (std::string_view(g.name) == app::toString(image)) {
            g.visible = shown;
            invalidate(g);
        }
}

void UpdaterWindow::setButtonEnabled(app::Button button, app::Enablement e) {
    EnableWindow(button == app::Button::btnAvanti ? m_btnAvanti : m_btnFine,
                 e == app::Enablement::Enabled);
}

void UpdaterWindow::clearLog() {
    m_log.clear();
    SendMessageW(m_listLog, LB_RESETCONTENT, 0, 0);
}

void UpdaterWindow::insertLogLine(const std::string& line) {
    // The list shows the line on one line; the saved log keeps its exact text.
    m_log.insert(m_log.begin(), line);
    const std::wstring shown = host::win32::toWide(oneLine(line));
    SendMessageW(m_listLog, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

bool UpdaterWindow::saveLogToFile(const std::string& fileName) {
    return app::WriteRunLogFile(fileName, m_log);
}

void UpdaterWindow::setScriptBarMin(int value) {
    const auto max = static_cast<int>(SendMessageW(m_pBarScript, PBM_GETRANGE, FALSE, 0));
    SendMessageW(m_pBarScript, PBM_SETRANGE32, static_cast<WPARAM>(value), max);
}
void UpdaterWindow::setScriptBarMax(int value) {
    const auto min = static_cast<int>(SendMessageW(m_pBarScript, PBM_GETRANGE, TRUE, 0));
    SendMessageW(m_pBarScript, PBM_SETRANGE32, static_cast<WPARAM>(min), value);
}
void UpdaterWindow::setScriptBarPosition(int value) {
    SendMessageW(m_pBarScript, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}
int UpdaterWindow::scriptBarPosition() const {
    return static_cast<int>(SendMessageW(m_pBarScript, PBM_GETPOS, 0, 0));
}
void UpdaterWindow::updateScriptBar() {
    RedrawWindow(m_pBarScript, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void UpdaterWindow::setDownloadBarMax(int value) {
    SendMessageW(m_pBar, PBM_SETRANGE32, 0, value);
}
int UpdaterWindow::downloadBarMax() const {
    return static_cast<int>(SendMessageW(m_pBar, PBM_GETRANGE, FALSE, 0));
}
void UpdaterWindow::setDownloadBarPosition(int value) {
    SendMessageW(m_pBar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void UpdaterWindow::companiesChanged(const app::CompanyTable& table, const std::string& latestVid) {
    m_grid->reset(table, latestVid);
}

void UpdaterWindow::processMessages() {
    // A close request that arrives in here finds a phase running: the phase goes on.
    ++m_pumpDepth;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(m_hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    --m_pumpDepth;
}

void UpdaterWindow::runMessageLoop() {
    MSG msg;
    while (!m_endRequested) {
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        if (!IsDialogMessageW(m_hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    ShowWindow(m_hwnd, SW_HIDE);
}

void UpdaterWindow::requestEnd() {
    m_endRequested = true;
    // Wakes the message loop, which looks at the request once control is back in it.
    PostMessageW(m_hwnd, WM_NULL, 0, 0);
}

void UpdaterWindow::terminate() {
    requestEnd();
}

void UpdaterWindow::close() {
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
}

void UpdaterWindow::dialogOpened(HWND dialog) {
    m_openDialog = dialog;
    centreOnWorkArea(dialog);
}

int UpdaterWindow::runDialog(const std::function<int()>& dialog) {
    UpdaterWindow* outer = t_dialogOwner;
    t_dialogOwner = this;
    m_openDialog = nullptr;
    m_dialogHook = SetWindowsHookExW(WH_CBT, dialogHook, nullptr, GetCurrentThreadId());
    ++m_pumpDepth;
    const int result = dialog();
    --m_pumpDepth;
    if (m_dialogHook) UnhookWindowsHookEx(m_dialogHook);
    m_dialogHook = nullptr;
    m_openDialog = nullptr;
    t_dialogOwner = outer;
    return result;
}

bool UpdaterWindow::askOkCancel(const std::string& text) {
    if (m_endRequested) return false;  // dialogs after a close request answer Cancel by themselves
    const std::wstring message = host::win32::toWide(text);
    return runDialog([&] {
               return MessageBoxW(m_hwnd, message.c_str(), L"Information",
                                  MB_OKCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON1);
           }) == IDOK;
}

std::string UpdaterWindow::chooseFolder() {
    if (m_endRequested) return {};
    std::wstring chosen;
    runDialog([&] {
        // Rooted at the desktop, only file-system folders can be confirmed.
        BROWSEINFOW info{};
        info.hwndOwner = m_hwnd;
        info.lpszTitle = L"Scegli Directory...";
        info.ulFlags = BIF_RETURNONLYFSDIRS;
        PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
        if (!item) return IDCANCEL;
        wchar_t path[MAX_PATH + 1] = {};
        if (SHGetPathFromIDListW(item, path)) chosen = path;
        CoTaskMemFree(item);
        return IDOK;
    });
    return host::win32::fromWide(chosen);
}

bool UpdaterWindow::pathFailAt(LPARAM l) const {
    const POINT p{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
    const Graphic* fail = graphic("iPathFAIL");
    return fail && fail->visible && PtInRect(&fail->rect, p);
}

void UpdaterWindow::paintPage(HWND page, HDC dc) {
    int index = 0;
    while (index < 3 && m_pages[static_cast<std::size_t>(index)] != page) ++index;
    for (const Graphic& g : m_graphics) {
        if (g.page != index || !g.visible) continue;
        switch (g.kind) {
            case Graphic::Kind::Bar: {
                HBRUSH brush = CreateSolidBrush(g.colour);
                FillRect(dc, &g.rect, brush);
                DeleteObject(brush);
                break;
            }
            case Graphic::Kind::Image: {
                if (!g.picture) break;
                const int saved = SaveDC(dc);
                IntersectClipRect(dc, g.rect.left, g.rect.top, g.rect.right, g.rect.bottom);
                int x = g.rect.left, y = g.rect.top;
                if (g.centred) {
                    x += (g.rect.right - g.rect.left - g.picture->width()) / 2;
                    y += (g.rect.bottom - g.rect.top - g.picture->height()) / 2;
                }
                g.picture->draw(dc, x, y);
                RestoreDC(dc, saved);
                break;
            }
            case Graphic::Kind::Label: {
                if (g.opaque)
                    FillRect(dc, &g.rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                drawText(dc, g.text, g.rect, m_fonts.tahoma(g.fontPx, g.weight), g.colour,
                         DT_LEFT | DT_TOP | DT_EXPANDTABS);
                break;
            }
        }
    }
}

void UpdaterWindow::drawButton(const DRAWITEMSTRUCT& item) {
    // A flat button: white face, a thin outline, its text bold in its colour; grey and without
    // the colour when disabled; a pressed button is shaded.
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool disabled = item.itemState & ODS_DISABLED;
    const bool pressed = item.itemState & ODS_SELECTED;
    FillRect(dc, &r, GetSysColorBrush(pressed ? COLOR_BTNFACE : COLOR_WINDOW));
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    COLORREF colour = GetSysColor(COLOR_GRAYTEXT);
    if (!disabled)
        for (const auto& [hwnd, c] : m_buttonColours)
            if (hwnd == item.hwndItem) colour = c;
    wchar_t text[32] = {};
    GetWindowTextW(item.hwndItem, text, 32);
    RECT textRect = r;
    if (pressed) OffsetRect(&textRect, 1, 1);
    drawText(dc, text, textRect, m_fonts.tahoma(11, Weight::Bold), colour,
             DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        InflateRect(&r, -3, -3);
        DrawFocusRect(dc, &r);
    }
}

LRESULT UpdaterWindow::pageMessage(HWND page, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(page, &ps);
            paintPage(page, dc);
            EndPaint(page, &ps);
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT r;
            GetClientRect(page, &r);
            FillRect(reinterpret_cast<HDC>(w), &r,
                     static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            paintPage(page, reinterpret_cast<HDC>(w));
            return 0;
        }
        case WM_SETCURSOR: {
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(page, &p);
            if (page == m_pages[0] && pathFailAt(MAKELPARAM(p.x, p.y))) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        }
        case WM_LBUTTONDOWN:
            if (page == m_pages[0] && pathFailAt(l)) {
                m_pathFailPressed = true;
                SetCapture(page);
            }
            return 0;
        case WM_LBUTTONUP: {
            const bool click = m_pathFailPressed && pathFailAt(l);
            m_pathFailPressed = false;
            if (GetCapture() == page) ReleaseCapture();
            if (click && onPathFail) onPathFail();
            return 0;
        }
        case WM_COMMAND:
            if (HIWORD(w) == BN_CLICKED) {
                const int id = LOWORD(w);
                if (id == kIdAvanti && onAvanti) onAvanti();
                if ((id == kIdEsci || id == kIdFine) && onEsci) onEsci();
                return 0;
            }
            break;
        case WM_DRAWITEM:
            drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(l));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(l);
            if (m_grid && header->hwndFrom == m_grid->handle() && header->code == NM_CUSTOMDRAW)
                return m_grid->customDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(l));
            break;
        }
        case WM_CTLCOLORLISTBOX:
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        default:
            break;
    }
    return DefWindowProcW(page, message, w, l);
}

LRESULT UpdaterWindow::windowMessage(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_CLOSE:
            // The close box ends the program; a phase that runs goes on to its end, a dialog
            // open now closes with Cancel, and later ones answer Cancel by themselves.
            requestEnd();
            if (m_openDialog) PostMessageW(m_openDialog, WM_COMMAND, IDCANCEL, 0);
            return 0;
        case WM_NOTIFY: {
            // Pages move forward only, never by a click on a tab.
            const auto* header = reinterpret_cast<const NMHDR*>(l);
            if (header->hwndFrom == m_tabs && header->code == TCN_SELCHANGING) return TRUE;
            break;
        }
        case WM_ENTERIDLE:
            // A dialog's modal loop waits for input: the dialog is ours if no hook saw it.
            if (w == MSGF_DIALOGBOX && m_pumpDepth > 0 && !m_openDialog && l)
                dialogOpened(reinterpret_cast<HWND>(l));
            break;
        case WM_COMMAND:
            return 0;  // Enter and Escape of the dialog manager (IDOK, IDCANCEL) do nothing here
        default:
            break;
    }
    return DefWindowProcW(m_hwnd, message, w, l);
}

}  // namespace ui::win32
