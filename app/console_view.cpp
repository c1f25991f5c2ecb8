#include "app/console_view.h"

#include "app/company_table.h"
#include "app/frm_auto_update.h"
#include "app/run_log.h"
#include "core/text.h"

namespace app {

ConsoleView::ConsoleView(std::FILE* out, std::FILE* in, bool yes)
    : m_out(out), m_in(in), m_yes(yes) {}

void ConsoleView::setTabVisible(Page page, Visibility v) {
    if (v != Visibility::Shown) return;
    if (page == Page::TabSheetFase02) std::fprintf(m_out, "== Download ==\n");
    if (page == Page::TabSheetFase03) std::fprintf(m_out, "== Installazione ==\n");
    std::fflush(m_out);
}

void ConsoleView::setCaption(Label label, const std::string& text) {
    if (label == Label::LabelDownload && text.starts_with("Scaricato ")) {
        // The client reports every 32 KiB; the terminal gets a few lines a second at most.
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastDownloadPrint < std::chrono::milliseconds(300)) return;
        m_lastDownloadPrint = now;
    }
    if (text.empty()) return;
    switch (label) {
        case Label::LabelPercorso:
            std::fprintf(m_out, "Percorso: %s\n", text.c_str());
            break;
        case Label::LabelStatus:
            std::fprintf(m_out, "Stato: %s\n", text.c_str());
            break;
        case Label::LabelDownload:
            std::fprintf(m_out, "%s\n", text.c_str());
            break;
        case Label::LabelInstall:
            std::fprintf(m_out, "%s\n", text.c_str());
            break;
    }
    std::fflush(m_out);
}

void ConsoleView::setImageVisible(Image image, Visibility v) {
    if (v != Visibility::Shown) return;
    std::fprintf(m_out, "%s\n", image == Image::iPathOK ? "Percorso: OK" : "Percorso: ERRORE");
    std::fflush(m_out);
}

void ConsoleView::insertLogLine(const std::string& line) {
    m_log.insert(m_log.begin(), line);
    // Written whole, never as a C string: a lexer message can hold a NUL character.
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

bool ConsoleView::saveLogToFile(const std::string& fileName) {
    m_logFile = fileName;
    const bool ok = WriteRunLogFile(fileName, m_log);
    std::fprintf(m_out, "Log: %s%s\n", fileName.c_str(), ok ? "" : " (non salvato)");
    std::fflush(m_out);
    return ok;
}

void ConsoleView::companiesChanged(const CompanyTable& table, const std::string& latestVid) {
    std::fprintf(m_out, "Ultima versione: %s\n", latestVid.c_str());
    if (!table.Active()) {
        std::fprintf(m_out, "Nessuna ditta.\n");
        std::fflush(m_out);
        return;
    }
    std::fprintf(m_out, "%-40s %-10s %-20s %-6s %s\n", "Ditta", "Versione", "VID", "Stato",
                 "Trigger");
    for (const CompanyRecord& r : table.Rows()) {
        const char* mark = core::VersionBefore(r.DTVID, latestVid) ? "ALERT" : "OK";
        std::string badge;
        if (r.DTTRIG) badge += "TRI(server) ";
        if (r.DTTRIN) badge += "TRI(client)";
        std::fprintf(m_out, "%-40s %-10s %-20s %-6s %s\n", r.DTNAME.c_str(), r.DTVERS.c_str(),
                     r.DTVID.c_str(), mark, badge.c_str());
    }
    std::fflush(m_out);
}

namespace {

// A server message on one console line: line breaks and other control characters become
// blanks, runs of them one blank ("\r\n#42000Unknown database" reads " #42000Unknown ...").
std::string oneLine(std::string_view text) {
    std::string out;
    for (char c : text) {
        const bool blank = static_cast<unsigned char>(c) <= 0x20;
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

void ConsoleView::printSurvey(const RunOutcome& outcome) {
    for (const CompanyOutcome& c : outcome.companies)
        if (c.state == CompanyState::Skipped)
            std::fprintf(m_out, "Ditta saltata: %s: %s\n", c.schema.c_str(),
                         oneLine(c.reason).c_str());
    if (!outcome.surveyEnded.empty())
        std::fprintf(m_out, "Elenco ditte interrotto: %s\n", oneLine(outcome.surveyEnded).c_str());
    std::fflush(m_out);
}

void ConsoleView::printSummary(const RunOutcome& outcome) {
    for (const std::string& e : outcome.failedEntries)
        std::fprintf(m_out, "Voce non estratta: %s\n", e.c_str());
    if (!outcome.fase03Complete && !outcome.fase03Failed) {
        std::fflush(m_out);
        return;
    }
    std::fprintf(m_out, "Riepilogo ditte:\n");
    for (const std::string& line : SummaryLines(outcome))
        std::fprintf(m_out, "  %s\n", line.c_str());
    std::fflush(m_out);
}

std::vector<std::string> SummaryLines(const RunOutcome& outcome) {
    std::vector<std::string> lines;
    for (const CompanyOutcome& c : outcome.companies) {
        std::string what;
        switch (c.state) {
            case CompanyState::Listed:
                what = "non raggiunta";
                break;
            case CompanyState::Updated:
                what = "aggiornata";
                break;
            case CompanyState::Duplicate:
                what = "già aggiornata con una riga precedente";
                break;
            case CompanyState::Skipped:
                what = "saltata (" + oneLine(c.reason) + ")";
                break;
            case CompanyState::Failed:
                what = std::to_string(c.failedStatements) + " istruzioni fallite, " +
                       std::to_string(c.failedScripts) + " script non avviati";
                break;
        }
        lines.push_back(c.schema + (c.name.empty() ? "" : " (" + c.name + ")") + ": " + what);
    }
    if (!outcome.surveyEnded.empty())
        lines.push_back("elenco ditte interrotto, le ditte seguenti non sono state lette (" +
                        oneLine(outcome.surveyEnded) + ")");
    if (outcome.companies.empty() && outcome.surveyEnded.empty()) lines.push_back("nessuna ditta");
    return lines;
}

bool ConsoleView::ask(const std::string& question) {
    std::fprintf(m_out, "%s [OK/Cancel] ", question.c_str());
    if (m_yes || m_terminated) {
        const bool answer = m_yes && !m_terminated;
        std::fprintf(m_out, "%s\n", answer ? "OK" : "Cancel");
        std::fflush(m_out);
        return answer;
    }
    std::fflush(m_out);
    char buf[64] = {};
    if (!m_in || !std::fgets(buf, sizeof buf, m_in)) return false;
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
