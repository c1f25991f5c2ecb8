// ConsoleView: the updater's view on a terminal. It prints the path, the status, the company
// table, the download progress (a few times a second), every log line, and asks its questions.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/view.h"

namespace app {
struct RunOutcome;
}

namespace app {

class ConsoleView : public View {
  public:
    // `yes` answers every question with OK; otherwise questions are read from `in`.
    ConsoleView(std::FILE* out, std::FILE* in, bool yes);

    void selectFirstPage() override {}
    void setTabVisible(Page page, Visibility v) override;
    void setCaption(Label label, const std::string& text) override;
    void setFontColor(Label, FontColor) override {}
    void setFontStyle(Label, FontStyle) override {}
    void setImageVisible(Image image, Visibility v) override;
    void setButtonEnabled(Button, Enablement) override {}
    void clearLog() override { m_log.clear(); }
    void insertLogLine(const std::string& line) override;
    bool saveLogToFile(const std::string& fileName) override;
    void setScriptBarMin(int) override {}
    void setScriptBarMax(int) override {}
    void setScriptBarPosition(int value) override { m_scriptPos = value; }
    int scriptBarPosition() const override { return m_scriptPos; }
    void updateScriptBar() override {}
    void setDownloadBarMax(int value) override { m_downloadMax = value; }
    int downloadBarMax() const override { return m_downloadMax; }
    void setDownloadBarPosition(int) override {}
    void companiesChanged(const CompanyTable& table, const std::string& latestVid) override;
    void processMessages() override {}
    void terminate() override { m_terminated = true; }
    void close() override { m_terminated = true; }
    bool askOkCancel(const std::string& text) override;
    std::string chooseFolder() override { return {}; }

    // Asks whether to go on to the download ("Avanti").
    bool askAvanti();
    // After phase 1: the companies the survey skipped and why, and where the survey stopped.
    void printSurvey(const RunOutcome& outcome);
    // At the end of a run: the package entries that failed, then per company what happened
    // (updated, failed statements, scripts not launched, skipped and why).
    void printSummary(const RunOutcome& outcome);
    bool terminated() const { return m_terminated; }
    const std::string& logFileName() const { return m_logFile; }

  private:
    bool ask(const std::string& question);

    std::FILE* m_out;
    std::FILE* m_in;
    bool m_yes;
    std::vector<std::string> m_log;  // newest first
    std::string m_logFile;
    int m_scriptPos = 0;
    int m_downloadMax = 0;
    bool m_terminated = false;
    std::string m_lastDownloadText;
    std::chrono::steady_clock::time_point m_lastDownloadPrint{};
};

// The closing summary's lines, one per company row of the survey, then why the survey stopped.
std::vector<std::string> SummaryLines(const RunOutcome& outcome);

}  // namespace app
