// Replays the inputs kept for the cookie fuzz target (tests/regressions/cookie/) through its
// body; under the sanitizers a date outside the clock's range is an overflow.
#include "fuzz/cookie_body.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "net/cookies.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(CookieFuzz, ReplaysKeptInputs) {
    const auto dir = std::filesystem::path(testsupport::sourceDir()) / "tests/regressions/cookie";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().string());
        fuzzing::checkCookieText(testsupport::readFile(entry.path()));
        ++replayed;
    }
    EXPECT_GE(replayed, 2);
}

// Dates the clock cannot count are held at the ends it can: still in the past, or far ahead.
TEST(CookieFuzz, YearsOutsideTheClockAreHeldInside) {
    const auto epoch = net::CookieClock::time_point{};
    const auto early = net::parseCookieDate("Mon, 01 Jan 1601 00:00:00 GMT");
    ASSERT_TRUE(early.has_value());
    EXPECT_LT(*early, epoch);
    const auto late = net::parseCookieDate("Fri, 31 Dec 9999 23:59:59 GMT");
    ASSERT_TRUE(late.has_value());
    EXPECT_GT(*late, epoch + std::chrono::hours(24 * 365 * 200));
}

}  // namespace
