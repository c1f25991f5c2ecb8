#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "host/platform/process.h"

namespace {

// A tick counter that moves only when slept on, by `step` milliseconds per 1 ms sleep.
struct SimulatedTicks {
    std::uint32_t now = 0;
    std::uint32_t step = 1;
    std::uint64_t slept = 0;  // simulated milliseconds
    int calls = 0;
    bool onlyOneMillisecondSleeps = true;

    host::TickSource source() {
        return {[this] { return now; },
                [this](std::uint32_t ms) {
                    onlyOneMillisecondSleeps = onlyOneMillisecondSleeps && ms == 1;
                    // A pause that does not end within a day of ticks never ends.
                    if (++calls > 86'400'000) throw std::runtime_error("the pause does not end");
                    now += step;
                    slept += step;
                }};
    }
};

TEST(WaitSeconds, LastsTheSecondsAcrossATickCounterWrap) {
    struct Case {
        const char* name;
        std::uint32_t start;
        std::uint32_t seconds;
        std::uint32_t step;
        std::uint64_t expectedMs;
    };
    const std::vector<Case> cases = {
        {"plain second", 1000, 1, 1, 1000},
        {"from zero", 0, 1, 1, 1000},
        {"started within the last second before the wrap", 0xFFFFFFFFu - 499, 1, 1, 1000},
        {"started on the last tick", 0xFFFFFFFFu, 1, 1, 1000},
        {"ending exactly on the wrap", 0xFFFFFFFFu - 999, 1, 1, 1000},
        {"coarse ticks stop at the first tick past the second", 0xFFFFFFF0u, 1, 7, 1001},
        {"no seconds, no sleep", 0xFFFFFFF0u, 0, 1, 0},
        {"three seconds across the wrap", 0xFFFFF000u, 3, 1, 3000},
    };
    for (const Case& c : cases) {
        SimulatedTicks ticks{c.start, c.step};
        host::WaitSeconds(c.seconds, ticks.source());
        EXPECT_EQ(ticks.slept, c.expectedMs) << c.name;
        EXPECT_TRUE(ticks.onlyOneMillisecondSleeps) << c.name;
    }
}

TEST(WaitSeconds, TheSystemTickSourcePausesAtLeastTheSecond) {
    const auto before = std::chrono::steady_clock::now();
    host::WaitSeconds(1);
    // The start tick may be read late in its tick, so the pause may end up to one tick short
    // of a full second: a millisecond on POSIX, the system timer's period (up to 15.625 ms)
    // for GetTickCount.
#if defined(_WIN32)
    constexpr std::chrono::milliseconds kTick(16);
#else
    constexpr std::chrono::milliseconds kTick(1);
#endif
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1000) - kTick);
}

}  // namespace
