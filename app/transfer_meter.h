// The console's download progress: a meter that turns (bytes, time) samples into a rate and the
// time left, and the two ways of showing them (a bar redrawn in place on a terminal, a plain
// line now and then elsewhere).
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>

namespace app {

struct TransferFigures {
    std::int64_t received = 0;
    std::int64_t total = 0;     // 0: the server did not say
    double bytesPerSecond = 0;  // 0 until there is something to measure
    std::optional<double> secondsLeft;
};

class TransferMeter {
  public:
    // Starts a transfer of `total` bytes (0 when unknown) at `seconds` on the caller's clock.
    void begin(std::int64_t total, double seconds);
    // `received` bytes so far, at `seconds`.
    void sample(std::int64_t received, double seconds);
    TransferFigures figures() const;

  private:
    std::int64_t m_total = 0;
    // (seconds, bytes) over the last few seconds: the rate follows the line's present speed.
    std::deque<std::pair<double, std::int64_t>> m_window;
};

// "512 B", "12.3 KiB", "4.0 MiB", "1.25 GiB".
std::string FormatBytes(std::int64_t bytes);
// "0:05", "12:34", "1:02:03".
std::string FormatDuration(double seconds);
// "[#########-----------]  45%  12.3 MiB di 27.0 MiB  3.2 MiB/s  mancano 0:05", at most
// `columns` wide (the bar gives way first).
std::string ProgressBarLine(const TransferFigures& f, int columns);
// "Scaricati 12.3 MiB di 27.0 MiB (45%), 3.2 MiB/s, mancano 0:05".
std::string ProgressPlainLine(const TransferFigures& f);

}  // namespace app
