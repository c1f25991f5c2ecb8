#include "app/transfer_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace app {

namespace {

// How far back the rate looks: long enough to smooth the client's 32 KiB steps, short enough to
// follow a line that slows down.
constexpr double kWindowSeconds = 3.0;

int percentOf(const TransferFigures& f) {
    if (f.total <= 0) return -1;
    const double p = 100.0 * static_cast<double>(f.received) / static_cast<double>(f.total);
    return static_cast<int>(std::clamp(p, 0.0, 100.0));
}

// "3.2 MiB/s, mancano 0:05" without the leading part; the pieces that are known.
std::string rateAndTimeLeft(const TransferFigures& f, const char* separator) {
    std::string out;
    if (f.bytesPerSecond > 0)
        out += FormatBytes(static_cast<std::int64_t>(f.bytesPerSecond)) + "/s";
    if (f.secondsLeft) {
        if (!out.empty()) out += separator;
        out += "mancano " + FormatDuration(*f.secondsLeft);
    }
    return out;
}

std::string amounts(const TransferFigures& f) {
    return f.total > 0 ? FormatBytes(f.received) + " di " + FormatBytes(f.total)
                       : FormatBytes(f.received);
}

}  // namespace

void TransferMeter::begin(std::int64_t total, double seconds) {
    m_total = total;
    m_window.assign(1, {seconds, 0});
}

void TransferMeter::sample(std::int64_t received, double seconds) {
    if (m_window.empty()) m_window.emplace_back(seconds, 0);
    m_window.emplace_back(seconds, received);
    // Keep one sample older than the window, so the window is always spanned.
    while (m_window.size() > 2 && m_window[1].first <= seconds - kWindowSeconds)
        m_window.pop_front();
}

TransferFigures TransferMeter::figures() const {
    TransferFigures f;
    f.total = m_total;
    if (m_window.empty()) return f;
    f.received = m_window.back().second;
    const double span = m_window.back().first - m_window.front().first;
    const auto moved = static_cast<double>(m_window.back().second - m_window.front().second);
    if (span > 0 && moved > 0) f.bytesPerSecond = moved / span;
    if (f.bytesPerSecond > 0 && m_total > 0)
        f.secondsLeft =
            static_cast<double>(std::max<std::int64_t>(m_total - f.received, 0)) / f.bytesPerSecond;
    return f;
}

std::string FormatBytes(std::int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
    double v = static_cast<double>(bytes);
    int u = -1;
    while (v >= 1024 && u < 3) {
        v /= 1024;
        ++u;
    }
    char buf[32];
    // Three significant figures at most: 1.25 GiB, 12.3 MiB, 512 KiB.
    std::snprintf(buf, sizeof buf,
                  v < 10    ? "%.2f %s"
                  : v < 100 ? "%.1f %s"
                            : "%.0f %s",
                  v, units[u]);
    return buf;
}

std::string FormatDuration(double seconds) {
    const auto s = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
    return buf;
}

std::string ProgressBarLine(const TransferFigures& f, int columns) {
    const int percent = percentOf(f);
    std::string tail = "  " + amounts(f);
    const std::string rate = rateAndTimeLeft(f, "  ");
    if (!rate.empty()) tail += "  " + rate;
    if (percent < 0) return tail.substr(2);
    char pct[16];
    std::snprintf(pct, sizeof pct, "%4d%%", percent);
    // "[", the bar, "]", the percentage, the tail. The bar's width depends on the terminal only,
    // so it does not jump as the figures grow: the room left beside the widest usual tail
    // ("  999 KiB di 999 KiB  999 KiB/s  mancano 9:59:59"), between 10 and 40 cells.
    constexpr int kTailRoom = 48;
    const int width = std::clamp(columns - 2 - 5 - kTailRoom - 1, 10, 40);
    const int filled = width * percent / 100;
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(width - filled), '-') + "]" + pct +
                       tail;
    if (columns > 0 && static_cast<int>(line.size()) >= columns)
        line.resize(static_cast<std::size_t>(std::max(columns - 1, 0)));
    return line;
}

std::string ProgressPlainLine(const TransferFigures& f) {
    std::string line = "Scaricati " + amounts(f);
    const int percent = percentOf(f);
    if (percent >= 0) line += " (" + std::to_string(percent) + "%)";
    const std::string rate = rateAndTimeLeft(f, ", ");
    if (!rate.empty()) line += ", " + rate;
    return line;
}

}  // namespace app
