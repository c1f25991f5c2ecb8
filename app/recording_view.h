// RecordingView: a View without a window. It keeps the state a window would show and records
// every operation in order as one line of text; dialogs answer from scripted queues.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/view.h"

namespace app {

class RecordingView : public View {
  public:
    // Answers for the next dialogs, in order. With no answer queued AskOkCancel gives Cancel
    // (false) and ChooseFolder gives "" (cancelled). Once close() was called every AskOkCancel
    // closes by itself with Cancel, as the window's dialogs do after a close request.
    void queueOkCancel(bool ok) { m_okCancel.push_back(ok); }
    void queueFolder(std::string folder) { m_folders.push_back(std::move(folder)); }

    // Runs at every processMessages, after it was recorded: where a test plays the user, whose
    // clicks reach the window only while the workflow pumps messages.
    std::function<void()> onProcessMessages;

    // Every operation so far, e.g. `setCaption(LabelStatus, "text")`, oldest first.
    const std::vector<std::string>& ops() const { return m_ops; }
    void clearOps() { m_ops.clear(); }

    // What a window would show now.
    bool tabVisible(Page p) const;
    int selectedPage() const { return m_selectedPage; }  // -1 until selectFirstPage
    std::string caption(Label l) const;
    FontColor fontColor(Label l) const;
    FontStyle fontStyle(Label l) const;
    bool imageVisible(Image i) const;
    bool buttonEnabled(Button b) const;
    const std::vector<std::string>& logLines() const { return m_log; }
    int scriptBarMin() const { return m_scriptMin; }
    int scriptBarMax() const { return m_scriptMax; }
    int downloadBarPosition() const { return m_downloadPos; }
    int processMessagesCount() const { return m_pumps; }
    bool closed() const { return m_closed; }
    bool terminated() const { return m_terminated; }
    std::size_t companyRowsShown() const { return m_companyRows; }
    // The last phase 3 state shown for each row, in row order ("listed" for none yet).
    const std::vector<std::string>& companyStates() const { return m_companyStates; }

    void selectFirstPage() override;
    void setTabVisible(Page page, Visibility v) override;
    void setCaption(Label label, const std::string& text) override;
    void setFontColor(Label label, FontColor color) override;
    void setFontStyle(Label label, FontStyle style) override;
    void setImageVisible(Image image, Visibility v) override;
    void setButtonEnabled(Button button, Enablement e) override;
    void clearLog() override;
    void insertLogLine(const std::string& line) override;
    bool saveLogToFile(const std::string& fileName) override;
    void setScriptBarMin(int value) override;
    void setScriptBarMax(int value) override;
    void setScriptBarPosition(int value) override;
    int scriptBarPosition() const override { return m_scriptPos; }
    void updateScriptBar() override;
    void setDownloadBarMax(int value) override;
    int downloadBarMax() const override { return m_downloadMax; }
    void setDownloadBarPosition(int value) override;
    void companiesChanged(const CompanyTable& table, const std::string& latestVid) override;
    void downloadStarted(std::int64_t total) override;
    void downloadProgress(std::int64_t received) override;
    void companyStateChanged(const CompanyProgress& progress) override;
    void processMessages() override;
    void terminate() override;
    void close() override;
    bool askOkCancel(const std::string& text) override;
    std::string chooseFolder() override;

  private:
    void record(std::string op) { m_ops.push_back(std::move(op)); }

    std::vector<std::string> m_ops;
    std::deque<bool> m_okCancel;
    std::deque<std::string> m_folders;

    std::map<Page, bool> m_tabs{
        {Page::TabSheetFase01, true}, {Page::TabSheetFase02, true}, {Page::TabSheetFase03, true}};
    int m_selectedPage = -1;
    std::map<Label, std::string> m_captions;
    std::map<Label, FontColor> m_colors;
    std::map<Label, FontStyle> m_styles;
    // As the window opens: both path images visible until phase 1 decides, "Fine" disabled.
    std::map<Image, bool> m_images{{Image::iPathOK, true}, {Image::iPathFAIL, true}};
    std::map<Button, bool> m_buttons{{Button::btnAvanti, true}, {Button::btnFine, false}};
    std::vector<std::string> m_log;  // newest first, as ListLog
    int m_scriptMin = 0, m_scriptMax = 100, m_scriptPos = 0;
    int m_downloadMax = 100, m_downloadPos = 0;
    int m_pumps = 0;
    bool m_closed = false;
    bool m_terminated = false;
    std::size_t m_companyRows = 0;
    std::vector<std::string> m_companyStates;
};

}  // namespace app
