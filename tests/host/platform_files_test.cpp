// File times and the read-only attribute through the platform layer.
#include <gtest/gtest.h>

#include "host/platform.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(PlatformFiles, LocalTimeRoundTrip) {
    testsupport::TempDir dir;
    const std::string f = dir.write("t.txt", "t").string();
    const host::LocalDateTime cases[] = {
        {1980, 1, 1, 0, 0, 0}, {2021, 7, 14, 9, 30, 42}, {2099, 12, 31, 23, 59, 58}};
    for (const auto& want : cases) {
        ASSERT_TRUE(host::setFileTimeLocal(f, want));
        host::LocalDateTime got;
        ASSERT_TRUE(host::fileTimeLocal(f, got));
        EXPECT_EQ(
            (std::vector<int>{got.year, got.month, got.day, got.hour, got.minute, got.second}),
            (std::vector<int>{want.year, want.month, want.day, want.hour, want.minute,
                              want.second}));
    }
    EXPECT_FALSE(host::setFileTimeLocal(dir.str() + "missing", cases[0]));
}

TEST(PlatformFiles, ReadOnlyIsWriteProtectedForEveryone) {
    testsupport::TempDir dir;
    const std::string f = dir.write("r.txt", "r").string();
    EXPECT_FALSE(host::isWriteProtected(f));
    ASSERT_TRUE(host::setReadOnly(f));
    EXPECT_TRUE(host::isWriteProtected(f));
    EXPECT_FALSE(host::isWriteProtected(dir.str() + "missing"));
    EXPECT_FALSE(host::setReadOnly(dir.str() + "missing"));
}

}  // namespace
