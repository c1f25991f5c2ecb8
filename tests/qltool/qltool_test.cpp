#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

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
    if (host::kPathDelim != '/')
        GTEST_SKIP() << "POSIX path forms (tests/host/win32 has the Windows ones)";
    ToolRun r = qltool({"tmpdir", "qltool-test-version"});
    std::string expected = "/" + core::Md5Hex("qltool-test-version") + "/";
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected + "\n");
    EXPECT_FALSE(std::filesystem::exists(expected));
}

}  // namespace

namespace {

// A second updater finds the installation taken and learns who has it; once the holder is
// killed the system has dropped its lock and the next one gets it.
TEST(QltoolLock, HolderIsNamedAndAKilledHolderLeavesNoLockBehind) {
    using namespace std::chrono_literals;
    TempDir dir;
    const std::string outFile = (dir.path() / "out").string();
    const host::ProcessId holder = testsupport::startInBackground(
        {testsupport::qltoolPath(), "lock", dir.str(), "60"}, outFile);
    ASSERT_NE(holder, 0u);
    const std::string pid = std::to_string(holder);
    std::string out;
    for (int i = 0; i < 500 && out.find("locked") == std::string::npos; ++i) {
        std::this_thread::sleep_for(20ms);
        out = testsupport::readFile(outFile);
    }
    ASSERT_EQ(out, "locked pid=" + pid + "\n");
    ToolRun second = qltool({"lock", dir.str(), "0"});
    EXPECT_EQ(second.status, 6);
    EXPECT_EQ(second.out.substr(0, second.out.find(" started=")), "held pid=" + pid);
    ASSERT_TRUE(host::KillProcess(holder));
    ToolRun third;
    for (int i = 0; i < 100 && third.status != 0; ++i) {
        third = qltool({"lock", dir.str(), "0"});
        if (third.status != 0) std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(third.status, 0) << third.out;
}

}  // namespace
