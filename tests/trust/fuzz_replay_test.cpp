// Replays the inputs kept for the version-file fuzz target (tests/regressions/version_file/).
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/trust_fuzz.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(FuzzReplay, VersionFileAndSignature) {
    const std::filesystem::path dir =
        std::filesystem::path(testsupport::sourceDir()) / "tests/regressions/version_file";
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        EXPECT_TRUE(trustfuzz::allHold(testsupport::readFile(e.path()))) << e.path();
        ++n;
    }
    EXPECT_GT(n, 0);
}

}  // namespace
