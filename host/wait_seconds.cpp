#include "host/platform/process.h"

namespace host {

namespace {

constexpr std::uint32_t kMillisecondsPerSecond = 1000;

// One second of ticks. Unsigned subtraction gives the true elapsed count across the counter's
// wrap from 0xFFFFFFFF to 0: a start of 0xFFFFFE0C and a present of 0x000001F3 are 999 apart.
void waitOneSecond(const TickSource& ticks) {
    const std::uint32_t start = ticks.now();
    while (static_cast<std::uint32_t>(ticks.now() - start) < kMillisecondsPerSecond) ticks.sleep(1);
}

}  // namespace

void WaitSeconds(std::uint32_t seconds, const TickSource& ticks) {
    for (std::uint32_t s = 0; s < seconds; ++s) waitOneSecond(ticks);
}

}  // namespace host
