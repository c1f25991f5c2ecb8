// ConsoleView: the updater's view on a terminal. It prints the path, the status, the company
// table, the download progress (a few times a second), every log line, and asks its questions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/transfer_meter.h"
#include "app/view.h"

namespace app {
struct RunOutcome;
}

namespace app {

struct ConsoleSettings {
    std::FILE* out = nullptr;
    std::FILE* in = nullptr;  // questions are read from here unless `yes`
    bool yes = false;         // every question answered with OK
    bool quiet = false;       // only the closing summary (and questions that wait for an answer)
    bool terminal = false;    // `out` is a terminal: the download bar is redrawn in place
    int columns = 80;
    // Elsewhere a plain progress line this often, and one when the download ends.
    double plainLineSeconds = 5;
    // Seconds on a steady clock; the system's when empty.
    std::function<double()> clock;
};

class ConsoleView : public View {
  public:
    explicit ConsoleView(ConsoleSettings settings);
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
    void downloadStarted(std::int64_t total) override;
    void downloadProgress(std::int64_t received) override;
    void companyStateChanged(const CompanyProgress& progress) override;
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
    // A line of the program's own (the report's file, why something could not be done); not
    // shown with `quiet` unless `always`.
    void note(const std::string& line, bool always = false);
    bool terminated() const { return m_terminated; }
    const std::string& logFileName() const { return m_logFile; }

  private:
    bool ask(const std::string& question);
    void print(std::string_view line);
    double now() const;
    // Ends the download's progress: a last plain line, or the line break after the bar.
    void endProgress();

    ConsoleSettings m_s;
    std::vector<std::string> m_log;  // newest first
    std::string m_logFile;
    int m_scriptPos = 0;
    int m_downloadMax = 0;
    bool m_terminated = false;
    // Phase 2's page is shown: the client's work events are the package's download.
    bool m_downloading = false;
    bool m_progressOpen = false;     // the bar's line waits for its line break
    bool m_progressPending = false;  // progress not yet printed as a plain line
    TransferMeter m_meter;
    double m_lastProgress = -1e9;
    std::size_t m_barWidth = 0;  // of the bar last drawn, to blank what a shorter one leaves
};

// The closing summary's lines, one per company row of the survey, then why the survey stopped.
std::vector<std::string> SummaryLines(const RunOutcome& outcome);
}  // namespace app
