#include "app/console_view.h"

#include <chrono>

#include "app/company_table.h"
#include "app/frm_auto_update.h"
#include "app/run_log.h"
#include "core/text.h"

namespace app {

ConsoleView::ConsoleView(ConsoleSettings settings) : m_s(std::move(settings)) {}

ConsoleView::ConsoleView(std::FILE* out, std::FILE* in, bool yes)
    : ConsoleView(ConsoleSettings{out, in, yes, false, false, 80, 5, {}}) {}

double ConsoleView::now() const {
    if (m_s.clock) return m_s.clock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ConsoleView::print(std::string_view line) {
    if (m_s.quiet) return;
    endProgress();
    // Written whole, never as a C string: a lexer message can hold a NUL character.
    std::fwrite(line.data(), 1, line.size(), m_s.out);
    std::fputc('\n', m_s.out);
    std::fflush(m_s.out);
}

void ConsoleView::note(const std::string& line, bool always) {
    if (always && m_s.quiet) {
        std::fprintf(m_s.out, "%s\n", line.c_str());
        std::fflush(m_s.out);
        return;
    }
    print(line);
}

void ConsoleView::setTabVisible(Page page, Visibility v) {
    if (page == Page::TabSheetFase02) m_downloading = v == Visibility::Shown;
    if (v != Visibility::Shown) return;
    if (page == Page::TabSheetFase02) print("== Download ==");
    if (page == Page::TabSheetFase03) print("== Installazione ==");
}

void ConsoleView::setCaption(Label label, const std::string& text) {
    // The download's "Scaricato ..." texts come with every 32 KiB; the console shows the
    // client's work events instead (downloadProgress).
    if (label == Label::LabelDownload && text.starts_with("Scaricato ")) return;
    if (label == Label::LabelDownload) endProgress();
    if (text.empty()) return;
    switch (label) {
        case Label::LabelPercorso:
            print("Percorso: " + text);
            break;
        case Label::LabelStatus:
            print("Stato: " + text);
            break;
        case Label::LabelDownload:
        case Label::LabelInstall:
            print(text);
            break;
    }
}

void ConsoleView::setImageVisible(Image image, Visibility v) {
    if (v != Visibility::Shown) return;
    print(image == Image::iPathOK ? "Percorso: OK" : "Percorso: ERRORE");
}

void ConsoleView::insertLogLine(const std::string& line) {
    m_log.insert(m_log.begin(), line);
    print(line);
}

bool ConsoleView::saveLogToFile(const std::string& fileName) {
    m_logFile = fileName;
    const bool ok = WriteRunLogFile(fileName, m_log);
    print("Log: " + fileName + (ok ? "" : " (non salvato)"));
    return ok;
}

void ConsoleView::downloadStarted(std::int64_t total) {
    if (!m_downloading) return;  // phase 1's version file
    m_meter.begin(total, now());
    m_lastProgress = -1e9;
    m_progressPending = false;
}

void ConsoleView::downloadProgress(std::int64_t received) {
    if (!m_downloading || m_s.quiet) return;
    const double t = now();
    m_meter.sample(received, t);
    const TransferFigures f = m_meter.figures();
    const bool complete = f.total > 0 && received >= f.total;
    if (m_s.terminal) {
        // A few redraws a second are enough for the eye and cheap on a slow terminal.
        if (!complete && t - m_lastProgress < 0.1) return;
        m_lastProgress = t;
        std::string line = ProgressBarLine(f, m_s.columns);
        const std::size_t width = line.size();
        if (width < m_barWidth) line.append(m_barWidth - width, ' ');
        m_barWidth = width;
        std::fprintf(m_s.out, "\r%s", line.c_str());
        std::fflush(m_s.out);
        m_progressOpen = true;
        if (complete) endProgress();
        return;
    }
    m_progressPending = true;
    if (!complete && t - m_lastProgress < m_s.plainLineSeconds) return;
    m_lastProgress = t;
    m_progressPending = false;
    std::fprintf(m_s.out, "%s\n", ProgressPlainLine(f).c_str());
    std::fflush(m_s.out);
}

void ConsoleView::endProgress() {
    if (m_progressOpen) {
        std::fprintf(m_s.out, "\n");
        m_progressOpen = false;
        m_barWidth = 0;
    } else if (m_progressPending) {
        // Where the download stopped, when the last lines left it out.
        std::fprintf(m_s.out, "%s\n", ProgressPlainLine(m_meter.figures()).c_str());
        m_progressPending = false;
    }
    std::fflush(m_s.out);
}

void ConsoleView::companyStateChanged(const CompanyProgress& p) {
    if (!p.company) return;
    const CompanyOutcome& c = *p.company;
    std::string line =
        "Ditta " + std::to_string(p.number) + " di " + std::to_string(p.count) + ": " + c.schema;
    if (c.state == CompanyState::Running && !c.name.empty()) line += " (" + c.name + ")";
    print(line + ": " + StateText(c));
}

void ConsoleView::companiesChanged(const CompanyTable& table, const std::string& latestVid) {
    if (m_s.quiet) return;
    print("Ultima versione: " + latestVid);
    if (!table.Active()) {
        print("Nessuna ditta.");
        return;
    }
    // Columns as printf's "%-40s %-10s %-20s %-6s %s": longer values are kept whole.
    const auto row = [](std::string_view a, std::string_view b, std::string_view c,
                        std::string_view d, std::string_view e) {
        const auto pad = [](std::string_view t, std::size_t w) {
            std::string out(t);
            if (out.size() < w) out.append(w - out.size(), ' ');
            return out;
        };
        return pad(a, 40) + " " + pad(b, 10) + " " + pad(c, 20) + " " + pad(d, 6) + " " +
               std::string(e);
    };
    print(row("Ditta", "Versione", "VID", "Stato", "Trigger"));
    for (const CompanyRecord& r : table.Rows()) {
        const char* mark = core::VersionBefore(r.DTVID, latestVid) ? "ALERT" : "OK";
        std::string badge;
        if (r.DTTRIG) badge += "TRI(server) ";
        if (r.DTTRIN) badge += "TRI(client)";
        print(row(r.DTNAME, r.DTVERS, r.DTVID, mark, badge));
    }
}

void ConsoleView::printSurvey(const RunOutcome& outcome) {
    for (const CompanyOutcome& c : outcome.companies)
        if (c.state == CompanyState::Skipped)
            print("Ditta saltata: " + c.schema + ": " + OneLine(c.reason));
    if (!outcome.surveyEnded.empty())
        print("Elenco ditte interrotto: " + OneLine(outcome.surveyEnded));
}

void ConsoleView::printSummary(const RunOutcome& outcome) {
    // The summary is what --quiet keeps.
    const auto line = [this](const std::string& l) { note(l, true); };
    for (const std::string& e : outcome.failedEntries) line("Voce non estratta: " + e);
    if (!outcome.fase03Complete && !outcome.fase03Failed) return;
    line("Riepilogo ditte:");
    for (const std::string& l : SummaryLines(outcome)) line("  " + l);
}

std::vector<std::string> SummaryLines(const RunOutcome& outcome) {
    std::vector<std::string> lines;
    for (const CompanyOutcome& c : outcome.companies)
        lines.push_back(c.schema + (c.name.empty() ? "" : " (" + c.name + ")") + ": " +
                        StateText(c));
    if (!outcome.surveyEnded.empty())
        lines.push_back("elenco ditte interrotto, le ditte seguenti non sono state lette (" +
                        OneLine(outcome.surveyEnded) + ")");
    if (outcome.companies.empty() && outcome.surveyEnded.empty()) lines.push_back("nessuna ditta");
    return lines;
}

bool ConsoleView::ask(const std::string& question) {
    endProgress();
    const bool answered = m_s.yes || m_terminated;
    // With --quiet a question is still put when someone has to answer it.
    const bool shown = !m_s.quiet || !answered;
    if (shown) std::fprintf(m_s.out, "%s [OK/Cancel] ", question.c_str());
    if (answered) {
        const bool answer = m_s.yes && !m_terminated;
        if (shown) std::fprintf(m_s.out, "%s\n", answer ? "OK" : "Cancel");
        std::fflush(m_s.out);
        return answer;
    }
    std::fflush(m_s.out);
    char buf[64] = {};
    if (!m_s.in || !std::fgets(buf, sizeof buf, m_s.in)) return false;
    const std::string a = core::asciiLower(core::Trim(buf));
    return a == "ok" || a == "o" || a == "y" || a == "yes" || a == "s" || a == "si";
}

bool ConsoleView::askOkCancel(const std::string& text) {
    return ask(text);
}

bool ConsoleView::askAvanti() {
    return ask("Avanti?");
}

}  // namespace app
