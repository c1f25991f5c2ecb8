// UpdaterWindow: the updater's one window as native Win32 controls (common controls 6): a fixed
// dialog frame with three pages, implementing the View the phases talk to.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/view.h"
#include "ui/win32/company_grid.h"
#include "ui/win32/gdi.h"

namespace ui::win32 {

inline constexpr int kClientWidth = 495;
inline constexpr int kClientHeight = 348;
// Each page is a sheet 487 wide inside the page control, which keeps a border of 4 around it.
inline constexpr int kPageWidth = 487;
inline constexpr int kPageBorder = (kClientWidth - kPageWidth) / 2;
inline constexpr int kLogItemHeight = 13;

// A control that draws on its page without a window of its own: labels, bars, pictures.
struct Graphic {
    enum class Kind { Label, Bar, Image };
    const char* name;
    Kind kind;
    int page;
    RECT rect;  // in the page's client coordinates
    std::wstring text;
    int fontPx = 11;
    Weight weight = Weight::Regular;
    COLORREF colour = 0;
    const Picture* picture = nullptr;
    bool centred = false;  // a picture centred in its frame, else at its top-left corner
    bool opaque = false;   // a label that fills its frame with white first
    bool visible = true;
};

class UpdaterWindow : public app::View {
  public:
    UpdaterWindow();
    ~UpdaterWindow() override;
    UpdaterWindow(const UpdaterWindow&) = delete;
    UpdaterWindow& operator=(const UpdaterWindow&) = delete;

    // What the window's controls do; connectSession binds them to the session's handlers.
    std::function<void()> onAvanti;
    std::function<void()> onEsci;      // "Esci" and "Fine"
    std::function<void()> onPathFail;  // a click on iPathFAIL

    HWND handle() const { return m_hwnd; }
    // Centres the window on the screen's work area and shows it.
    void show();
    // The window's message loop, until the program was asked to end.
    void runMessageLoop();
    // True once the program was asked to end (close box, Close, Terminate).
    bool endRequested() const { return m_endRequested; }

    // For tests and tools: the page shown (0..2), a page's tab, a page's sheet, a windowed
    // control by its name ("btnEsci", "btnAvanti", "btnFine", "Grid", "ListLog", "pBar",
    // "pBarScript", "pctrlUpdater"), a windowless one by its name.
    int currentPage() const { return m_current; }
    bool tabShown(app::Page page) const;
    HWND pageWindow(int page) const { return m_pages[static_cast<std::size_t>(page)]; }
    HWND control(const std::string& name) const;
    const Graphic* graphic(const std::string& name) const;
    const std::vector<Graphic>& graphics() const { return m_graphics; }
    CompanyGrid& grid() { return *m_grid; }
    Fonts& fonts() { return m_fonts; }
    // The exact lines of ListLog, newest first (the list shows each on one line).
    const std::vector<std::string>& logLines() const { return m_log; }
    // The open modal dialog, if any.
    HWND openDialog() const { return m_openDialog; }

    void selectFirstPage() override;
    void setTabVisible(app::Page page, app::Visibility v) override;
    void setCaption(app::Label label, const std::string& text) override;
    void setFontColor(app::Label label, app::FontColor color) override;
    void setFontStyle(app::Label label, app::FontStyle style) override;
    void setImageVisible(app::Image image, app::Visibility v) override;
    void setButtonEnabled(app::Button button, app::Enablement e) override;
    void clearLog() override;
    void insertLogLine(const std::string& line) override;
    bool saveLogToFile(const std::string& fileName) override;
    void setScriptBarMin(int value) override;
    void setScriptBarMax(int value) override;
    void setScriptBarPosition(int value) override;
    int scriptBarPosition() const override;
    void updateScriptBar() override;
    void setDownloadBarMax(int value) override;
    int downloadBarMax() const override;
    void setDownloadBarPosition(int value) override;
    void companiesChanged(const app::CompanyTable& table, const std::string& latestVid) override;
    void processMessages() override;
    void terminate() override;
    void close() override;
    bool askOkCancel(const std::string& text) override;
    std::string chooseFolder() override;

    // The window procedures' work (public for the procedures, not for callers).
    LRESULT windowMessage(UINT message, WPARAM w, LPARAM l);
    LRESULT pageMessage(HWND page, UINT message, WPARAM w, LPARAM l);
    // Called by the dialog hook when a dialog of ours opens.
    void dialogOpened(HWND dialog);

  private:
    void buildPage1();
    void buildPage2();
    void buildPage3();
    Graphic& addGraphic(Graphic g);
    Graphic& graphicOf(app::Label label);
    void invalidate(const Graphic& g);
    void paintPage(HWND page, HDC dc);
    void drawButton(const DRAWITEMSTRUCT& item);
    HWND addButton(int page, const char* name, const wchar_t* text, int id, const RECT& r,
                   COLORREF colour);
    HWND addChild(int page, const wchar_t* cls, const char* name, DWORD style, DWORD exStyle,
                  int id, const RECT& r);
    void showCurrentPage();
    void rebuildTabs();
    void requestEnd();
    int runDialog(const std::function<int()>& dialog);
    bool pathFailAt(LPARAM l) const;
    RECT sheetRect() const;

    HWND m_hwnd = nullptr;
    HWND m_tabs = nullptr;
    std::array<HWND, 3> m_pages{};
    std::array<bool, 3> m_tabVisible{true, true, true};
    int m_current = 0;
    int m_sheetHeight = 0;
    bool m_comInitialised = false;
    Fonts m_fonts;
    Picture m_okPicture;
    Picture m_alertPicture;
    Picture m_updatePicture;
    Picture m_logoPicture;
    std::vector<Graphic> m_graphics;
    std::vector<std::pair<std::string, HWND>> m_controls;
    std::vector<std::pair<HWND, COLORREF>> m_buttonColours;
    std::unique_ptr<CompanyGrid> m_grid;
    HWND m_btnAvanti = nullptr;
    HWND m_btnFine = nullptr;
    HWND m_listLog = nullptr;
    HWND m_pBar = nullptr;
    HWND m_pBarScript = nullptr;
    std::vector<std::string> m_log;  // newest first, exact texts
    bool m_pathFailPressed = false;
    HWND m_openDialog = nullptr;
    HHOOK m_dialogHook = nullptr;
    int m_pumpDepth = 0;
    bool m_endRequested = false;
};

}  // namespace ui::win32
