// UpdaterWindow: the updater's one window, a fixed-size dialog with three pages, implementing
// the View the phases talk to. Its controls carry the names the workflow uses (objectName).
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

#include "app/view.h"
#include "ui/company_grid.h"

class QDialog;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;

namespace ui {

class UpdaterWindow : public QWidget, public app::View {
  public:
    explicit UpdaterWindow(QWidget* parent = nullptr);
    ~UpdaterWindow() override;

    // What the window's controls do; runWindow connects them to the session's handlers.
    std::function<void()> onAvanti;
    std::function<void()> onEsci;      // "Esci" and "Fine"
    std::function<void()> onPathFail;  // a click on iPathFAIL

    // The page shown (0..2) and whether a page's tab is visible.
    int currentPage() const;
    bool tabShown(app::Page page) const;
    // A page's sheet (TabSheetFase01 ...), 487 wide inside the page control's border.
    QWidget* pageWidget(app::Page page) const;
    // True once the program was asked to end (close box, Close, Terminate).
    bool endRequested() const { return m_endRequested; }
    // Centres the window on its screen when it is shown, and again once the window manager's
    // frame is known; runWindow calls it before the first show.
    void centreOnScreen();

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
    void companyStateChanged(const app::CompanyProgress& progress) override;
    void processMessages() override;
    void terminate() override;
    void close() override;
    bool askOkCancel(const std::string& text) override;
    std::string chooseFolder() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildPage1(QWidget* page);
    void buildPage2(QWidget* page);
    void buildPage3(QWidget* page);
    QLabel* label(app::Label which) const;
    void requestEnd();
    // Runs a modal dialog so that a close request can answer it with Cancel.
    int runDialog(QDialog& dialog);
    void showCurrentAfterTabChange();

    QPixmap m_okPicture;
    QPixmap m_alertPicture;
    QTabWidget* m_pages = nullptr;
    std::array<QWidget*, 3> m_sheets{};
    std::array<bool, 3> m_tabVisible{true, true, true};
    QLabel* m_labelPercorso = nullptr;
    QLabel* m_labelStatus = nullptr;
    QLabel* m_labelDownload = nullptr;
    QLabel* m_labelInstall = nullptr;
    QLabel* m_iPathOK = nullptr;
    QLabel* m_iPathFAIL = nullptr;
    QPushButton* m_btnAvanti = nullptr;
    QPushButton* m_btnFine = nullptr;
    QTableView* m_grid = nullptr;
    CompanyModel* m_model = nullptr;
    QListWidget* m_listLog = nullptr;
    QProgressBar* m_pBarScript = nullptr;
    QProgressBar* m_pBar = nullptr;
    QPointer<QDialog> m_openDialog;
    int m_pumpDepth = 0;
    bool m_endRequested = false;
};

}  // namespace ui
