// Replays the inputs kept in tests/regressions/ through the fuzz targets' checks.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/db_fuzz.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

template <class Check>
int replay(const char* folder, Check check) {
    int n = 0;
    const fs::path dir = fs::path(testsupport::sourceDir()) / "tests/regressions" / folder;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (!e.is_regular_file()) continue;
        EXPECT_TRUE(check(testsupport::readFile(e.path()))) << e.path();
        ++n;
    }
    return n;
}

TEST(FuzzReplay, Lexer) {
    EXPECT_GT(replay("lexer", dbfuzz::lexerHolds), 0);
}

TEST(FuzzReplay, ScriptSplit) {
    EXPECT_GT(replay("script_split", dbfuzz::splitHolds), 0);
}

}  // namespace
