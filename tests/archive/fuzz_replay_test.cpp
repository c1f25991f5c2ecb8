// Replays the inputs kept in tests/regressions/zip through the fuzz target's body: each must be
// handled (opened or refused) without a crash, and under the sanitizers without a fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "fuzz/zip_body.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Inputs whose outcome is known: the number of entries that must fail (-1: not opened).
const std::map<std::string, int> kFailedEntries = {
    {"overlap-one-stream-four-headers.zip", 4},
    {"overlap-data-over-next-header.zip", 2},
    {"local-header-disagrees.zip", 3},
    {"nul-in-name.zip", 1},
    {"unix-mode-zero.zip", 0},
};

TEST(ZipFuzzRegressions, EveryKeptInputIsHandled) {
    const fs::path dir = fs::path(testsupport::sourceDir()) / "tests/regressions/zip";
    ASSERT_TRUE(fs::is_directory(dir));
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = testsupport::readFile(entry.path());
        testsupport::TempDir work;
        const int failed =
            fuzzing::extractBytesForFuzzing(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                            bytes.size(), work.path().string());
        EXPECT_GE(failed, -1);
        if (auto known = kFailedEntries.find(entry.path().filename().string());
            known != kFailedEntries.end()) {
            EXPECT_EQ(failed, known->second);
        }
        // Nothing is ever written beside the output folder but the input itself.
        for (const auto& e : fs::directory_iterator(work.path()))
            EXPECT_TRUE(e.path().filename() == "out" || e.path().filename() == "input.qlzip")
                << e.path();
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
