#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/md5.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

struct ToolRun {
    int status;
    std::string out;  // standard output and standard error together
};

ToolRun qltool(const std::string& args) {
    std::string cmd = std::string(QLTOOL_PATH) + " " + args + " 2>&1";
    ToolRun r{-1, {}};
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
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
        ToolRun r = qltool("config '" + dir.path().string() + "'");
        EXPECT_EQ(r.status, 0) << c.name;
        EXPECT_EQ(r.out, c.expected) << c.name;
        // "psswrd" scrambled: the plain text must not appear.
        EXPECT_EQ(r.out.find("psswrd"), std::string::npos) << c.name;
    }
}

TEST(QltoolConfig, MissingFileIsAnError) {
    TempDir dir;
    ToolRun r = qltool("config '" + dir.path().string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "qltool config: no configuration file " + dir.str() + "config.ini\n");
}

TEST(QltoolTmpdir, PrintsTheFolderWithoutCreatingIt) {
    ToolRun r = qltool("tmpdir qltool-test-version");
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
    TempDir dir;
    const std::string d = "'" + dir.path().string() + "'";
    ToolRun bg = qltool("lock " + d + " 60 > '" + dir.path().string() + "/out' & echo $!");
    const std::string pid = bg.out.substr(0, bg.out.find('\n'));
    ASSERT_FALSE(pid.empty());
    std::string out;
    for (int i = 0; i < 200 && out.find("locked") == std::string::npos; ++i) {
        ::usleep(20000);
        out = testsupport::readFile(dir.path() / "out");
    }
    ASSERT_EQ(out, "locked pid=" + pid + "\n");
    ToolRun second = qltool("lock " + d + " 0");
    EXPECT_EQ(second.status, 6);
    EXPECT_EQ(second.out.substr(0, second.out.find(" started=")), "held pid=" + pid);
    ASSERT_EQ(std::system(("kill -KILL " + pid).c_str()), 0);
    ToolRun third{-1, {}};
    for (int i = 0; i < 100 && third.status != 0; ++i) {
        third = qltool("lock " + d + " 0");
        if (third.status != 0) ::usleep(20000);
    }
    EXPECT_EQ(third.status, 0) << third.out;
}

}  // namespace
