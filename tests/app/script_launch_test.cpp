#include "app/script_launch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/script.h"
#include "tests/support/temp_dir.h"

namespace {

// A script the lexer stops in at a NUL: the whole message, the NUL and its code included,
// reaches the run log in the five lines, and nothing is sent.
TEST(LaunchUpdateScript, LexerFailureAtANulIsLoggedWhole) {
    testsupport::TempDir dir;
    const std::string file =
        dir.write("2.dbql", std::string("USE &DatabaseName;\r\nSELECT \0;\r\n", 30)).string();
    db::TMyScript runner;
    std::vector<std::string> log;
    const bool launched = app::LaunchUpdateScript(runner, "OSF0101", file, {},
                                                  [&](std::string_view l) { log.emplace_back(l); });
    EXPECT_FALSE(launched);
    const std::string stars(45, '*');
    EXPECT_EQ(log, (std::vector<std::string>{
                       stars, std::string("Parser: The unknown symbol '\0'  $0000", 37),
                       "Errore su: ", file, stars}));
}

}  // namespace
