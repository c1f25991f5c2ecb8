// View: every operation the updater's phases ask of its window. The Qt window, the console
// front end and the tests' recording view implement it; app/ never touches a widget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace app {

class CompanyTable;
struct CompanyOutcome;

// Phase 3's progress over the companies: the company of TabMem row `row`, number `number` (from
// 1) of the `count` companies the run updates, is now in `company.state`.
struct CompanyProgress {
    std::size_t row = 0;
    std::size_t number = 0;
    std::size_t count = 0;
    const CompanyOutcome* company = nullptr;
};

// Controls are named as the window names them, so that a view maps each one to its widget.
enum class Page { TabSheetFase01, TabSheetFase02, TabSheetFase03 };
enum class Label { LabelPercorso, LabelStatus, LabelDownload, LabelInstall };
enum class Image { iPathOK, iPathFAIL };
enum class Button { btnAvanti, btnFine };

enum class Visibility { Hidden, Shown };
enum class Enablement { Disabled, Enabled };
// A label's font colour: the system's window-text colour or red.
enum class FontColor { WindowText, Red };
enum class FontStyle { Regular, Bold };

class View {
  public:
    virtual ~View() = default;

    // Page control pctrlUpdater: select page 1 (TabIndex 0); show or hide one page's tab.
    // Showing a tab while no other tab is visible makes that page the one shown.
    virtual void selectFirstPage() = 0;
    virtual void setTabVisible(Page page, Visibility v) = 0;

    virtual void setCaption(Label label, const std::string& text) = 0;
    virtual void setFontColor(Label label, FontColor color) = 0;
    virtual void setFontStyle(Label label, FontStyle style) = 0;
    virtual void setImageVisible(Image image, Visibility v) = 0;
    virtual void setButtonEnabled(Button button, Enablement e) = 0;

    // ListLog, newest line first: remove all lines; insert a line at index 0; save every line,
    // in list order, as Windows-1252 text with CR LF after each (WriteRunLogFile), replacing
    // the file. The save gives false when the file could not be written.
    virtual void clearLog() = 0;
    virtual void insertLogLine(const std::string& line) = 0;
    virtual bool saveLogToFile(const std::string& fileName) = 0;

    // pBarScript: the progress of the script that runs.
    virtual void setScriptBarMin(int value) = 0;
    virtual void setScriptBarMax(int value) = 0;
    virtual void setScriptBarPosition(int value) = 0;
    virtual int scriptBarPosition() const = 0;
    virtual void updateScriptBar() = 0;  // repaint the bar at once

    // pBar: the download progress, written by the HTTP client's work handlers; its minimum is 0.
    virtual void setDownloadBarMax(int value) = 0;
    virtual int downloadBarMax() const = 0;
    virtual void setDownloadBarPosition(int value) = 0;

    // The download in 64-bit numbers (pBar takes 32-bit ones): its size in bytes (0 when the
    // server did not say), then the bytes received so far. A view may ignore them.
    virtual void downloadStarted(std::int64_t /*total*/) {}
    virtual void downloadProgress(std::int64_t /*received*/) {}

    // A company's state changed in phase 3 (the grid and the console show it). A view may
    // ignore it.
    virtual void companyStateChanged(const CompanyProgress& /*progress*/) {}

    // Grid: the company table changed (rows, open state, or the latest version it is drawn
    // against); the view redraws from it. The table outlives every view that shows it.
    virtual void companiesChanged(const CompanyTable& table, const std::string& latestVid) = 0;

    // The application: handle every pending window message, then return; end the program once
    // control is back in the message loop.
    virtual void processMessages() = 0;
    virtual void terminate() = 0;
    // The window: close it, which ends the program.
    virtual void close() = 0;

    // Modal dialogs. AskOkCancel gives true for OK, false for Cancel or any other close (and
    // at once false once the program was asked to end). ChooseFolder gives the chosen folder,
    // or "" when the user cancels.
    virtual bool askOkCancel(const std::string& text) = 0;
    virtual std::string chooseFolder() = 0;
};

const char* toString(Page p);
const char* toString(Label l);
const char* toString(Image i);
const char* toString(Button b);

}  // namespace app
