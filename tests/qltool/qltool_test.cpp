#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/md5.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

using testsupport::TempDir;
using testsupport::ToolRun;

// Standard output and standard error together, as a terminal shows them.
ToolRun qltool(std::vector<std::string> args) {
    args.insert(args.begin(), testsupport::qltoolPath());
    return testsupport::runTool(args, testsupport::Stderr::WithStdout);
}

TEST(QltoolConfig, PrintsServerAndPasswordStateNeverThePassword) {
    TempDir dir;
    struct {
        const char* name;
        std::string ini;
        std::string expected;
    } cases[] = {
        {"stored scrambled",
         "[MySQL]\r\nSERVER=db9\r\nRootPass=\xFF"
         "qqpswb\r\n",
         "server: db9\nroot password: set\n"},
        {"defaults", "[MySQL]\r\n", "server: localhost\nroot password: set (built-in default)\n"},
        {"empty", "[MySQL]\r\nRootPass=\r\n",
         "server: localhost\nroot password: not set (empty)\n"},
    };
    for (const auto& c : cases) {
        dir.write("config.ini", c.ini);
        ToolRun r = qltool({"config", dir.path().string()});
        EXPECT_EQ(r.status, 0) << c.name;
        EXPECT_EQ(r.out, c.expected) << c.name;
        // "psswrd" scrambled: the plain text must not appear.
        EXPECT_EQ(r.out.find("psswrd"), std::string::npos) << c.name;
    }
}

TEST(QltoolConfig, MissingFileIsAnError) {
    TempDir dir;
    ToolRun r = qltool({"config", dir.path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "qltool config: no configuration file " + dir.str() + "config.ini\n");
}

TEST(QltoolTmpdir, PrintsTheFolderWithoutCreatingIt) {
    ToolRun r = qltool({"tmpdir", "qltool-test-version"});
    std::string expected = "/" + core::Md5Hex("qltool-test-version") + "/";
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected + "\n");
    EXPECT_FALSE(std::filesystem::exists(expected));
}

}  // namespace
