#include "app/recording_view.h"

#include "app/company_table.h"
#include "app/run_log.h"
#include "app/run_outcome.h"

namespace app {
namespace {

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}
const char* toString(Visibility v) {
    return v == Visibility::Shown ? "Shown" : "Hidden";
}
const char* toString(Enablement e) {
    return e == Enablement::Enabled ? "Enabled" : "Disabled";
}
const char* toString(FontColor c) {
    return c == FontColor::Red ? "Red" : "WindowText";
}
const char* toString(FontStyle s) {
    return s == FontStyle::Bold ? "Bold" : "Regular";
}

template <class K, class V>
V valueOr(const std::map<K, V>& m, K key, V fallback) {
    auto it = m.find(key);
    return it == m.end() ? fallback : it->second;
}

}  // namespace

bool RecordingView::tabVisible(Page p) const {
    return valueOr(m_tabs, p, false);
}
std::string RecordingView::caption(Label l) const {
    return valueOr(m_captions, l, std::string());
}
FontColor RecordingView::fontColor(Label l) const {
    return valueOr(m_colors, l, FontColor::WindowText);
}
FontStyle RecordingView::fontStyle(Label l) const {
    return valueOr(m_styles, l, FontStyle::Regular);
}
bool RecordingView::imageVisible(Image i) const {
    return valueOr(m_images, i, false);
}
bool RecordingView::buttonEnabled(Button b) const {
    return valueOr(m_buttons, b, false);
}

void RecordingView::selectFirstPage() {
    m_selectedPage = 0;
    record("selectFirstPage()");
}

void RecordingView::setTabVisible(Page page, Visibility v) {
    m_tabs[page] = v == Visibility::Shown;
    record(std::string("setTabVisible(") + toString(page) + ", " + toString(v) + ")");
}

void RecordingView::setCaption(Label label, const std::string& text) {
    m_captions[label] = text;
    record(std::string("setCaption(") + toString(label) + ", " + quoted(text) + ")");
}

void RecordingView::setFontColor(Label label, FontColor color) {
    m_colors[label] = color;
    record(std::string("setFontColor(") + toString(label) + ", " + toString(color) + ")");
}

void RecordingView::setFontStyle(Label label, FontStyle style) {
    m_styles[label] = style;
    record(std::string("setFontStyle(") + toString(label) + ", " + toString(style) + ")");
}

void RecordingView::setImageVisible(Image image, Visibility v) {
    m_images[image] = v == Visibility::Shown;
    record(std::string("setImageVisible(") + toString(image) + ", " + toString(v) + ")");
}

void RecordingView::setButtonEnabled(Button button, Enablement e) {
    m_buttons[button] = e == Enablement::Enabled;
    record(std::string("setButtonEnabled(") + toString(button) + ", " + toString(e) + ")");
}

void RecordingView::clearLog() {
    m_log.clear();
    record("clearLog()");
}

void RecordingView::insertLogLine(const std::string& line) {
    m_log.insert(m_log.begin(), line);
    record("insertLogLine(" + quoted(line) + ")");
}

bool RecordingView::saveLogToFile(const std::string& fileName) {
    record("saveLogToFile(" + quoted(fileName) + ")");
    return WriteRunLogFile(fileName, m_log);
}

void RecordingView::setScriptBarMin(int value) {
    m_scriptMin = value;
    record("setScriptBarMin(" + std::to_string(value) + ")");
}

void RecordingView::setScriptBarMax(int value) {
    m_scriptMax = value;
    record("setScriptBarMax(" + std::to_string(value) + ")");
}

void RecordingView::setScriptBarPosition(int value) {
    m_scriptPos = value;
    record("setScriptBarPosition(" + std::to_string(value) + ")");
}

void RecordingView::updateScriptBar() {
    record("updateScriptBar()");
}

void RecordingView::setDownloadBarMax(int value) {
    m_downloadMax = value;
    record("setDownloadBarMax(" + std::to_string(value) + ")");
}

void RecordingView::setDownloadBarPosition(int value) {
    m_downloadPos = value;
    record("setDownloadBarPosition(" + std::to_string(value) + ")");
}

void RecordingView::companiesChanged(const CompanyTable& table, const std::string& latestVid) {
    m_companyRows = table.RecordCount();
    record(std::string("companiesChanged(") + (table.Active() ? "open, " : "closed, ") +
           std::to_string(table.RecordCount()) + " rows, " + quoted(latestVid) + ")");
}

void RecordingView::downloadStarted(std::int64_t total) {
    record("downloadStarted(" + std::to_string(total) + ")");
}

void RecordingView::downloadProgress(std::int64_t received) {
    record("downloadProgress(" + std::to_string(received) + ")");
}

void RecordingView::companyStateChanged(const CompanyProgress& p) {
    const char* state = p.company ? toString(p.company->state) : "";
    record("companyStateChanged(row " + std::to_string(p.row) + ", " + std::to_string(p.number) +
           " of " + std::to_string(p.count) + ", " + state + ")");
    if (m_companyStates.size() <= p.row) m_companyStates.resize(p.row + 1, "listed");
    m_companyStates[p.row] = state;
}

void RecordingView::processMessages() {
    ++m_pumps;
    record("processMessages()");
    if (onProcessMessages) onProcessMessages();
}

void RecordingView::terminate() {
    m_terminated = true;
    record("terminate()");
}

void RecordingView::close() {
    m_closed = true;
    record("close()");
}

bool RecordingView::askOkCancel(const std::string& text) {
    bool ok = false;
    if (m_closed) {
        record("askOkCancel(" + quoted(text) + ") -> Cancel (closing)");
        return false;
    }
    if (!m_okCancel.empty()) {
        ok = m_okCancel.front();
        m_okCancel.pop_front();
    }
    record("askOkCancel(" + quoted(text) + ") -> " + (ok ? "OK" : "Cancel"));
    return ok;
}

std::string RecordingView::chooseFolder() {
    std::string folder;
    if (!m_folders.empty()) {
        folder = m_folders.front();
        m_folders.pop_front();
    }
    record("chooseFolder() -> " + quoted(folder));
    return folder;
}

}  // namespace app
