#include "host/platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "host/platform/files.h"
#include "tests/host/product_processes.h"

namespace {

using servicetest::ChildProcess;
using servicetest::ProductTest;

TEST(ProcessSnapshot, StartsWithTheIdleEntryThenAscendingIdsIncludingOurs) {
    const std::vector<host::ProcessInfo> all = host::processSnapshot();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0].id, 0u);
    EXPECT_EQ(all[0].imageName, "[idle]");
    for (std::size_t i = 1; i < all.size(); ++i) EXPECT_LT(all[i - 1].id, all[i].id);
    const auto self = std::find_if(all.begin(), all.end(), [](const host::ProcessInfo& p) {
        return p.id == static_cast<host::ProcessId>(::getpid());
    });
    ASSERT_NE(self, all.end());
    EXPECT_EQ(self->imageName, std::filesystem::path(host::programFilePath()).filename().string());
}

TEST(ImageListed, ComparesEveryEntryButTheFirstWithAsciiFolding) {
    struct Case {
        const char* name;
        std::vector<host::ProcessInfo> list;
        const char* image;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"empty snapshot", {}, "QLMain.exe", false},
        {"first entry never compared", {{0, "QLMain.exe"}}, "QLMain.exe", false},
        {"second entry compared", {{0, "[idle]"}, {7, "QLMain.exe"}}, "QLMain.exe", true},
        {"last entry compared",
         {{0, "[idle]"}, {7, "a"}, {9, "b"}, {12, "qlmain.exe"}},
         "QLMain.exe",
         true},
        {"lower-case image counts", {{0, "[idle]"}, {7, "qlmain.exe"}}, "QLMain.exe", true},
        {"upper-case query counts",
         {{0, "[idle]"}, {7, "CounterSale.exe"}},
         "COUNTERSALE.EXE",
         true},
        {"whole name, not a part", {{0, "[idle]"}, {7, "OldQLMain.exe"}}, "QLMain.exe", false},
        {"no prefix match", {{0, "[idle]"}, {7, "QLMain.exe.old"}}, "QLMain.exe", false},
        {"only ASCII letters fold",
         {{0, "[idle]"}, {7, "\xC3\x89srv.exe"}},
         "\xC3\xA9srv.exe",
         false},
    };
    for (const Case& c : cases) EXPECT_EQ(host::imageListed(c.list, c.image), c.expected) << c.name;
}

class ProcessTest : public ProductTest {};

TEST_F(ProcessTest, RunningCopiesAreDetectedByImageNameUntilKilled) {
    struct Case {
        const char* file;
        const char* query;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"OsReceiveSrv.exe", "OsReceiveSrv.exe", true},
        {"qlmain.exe", "QLMain.exe", true},
        {"COUNTERSALE.EXE", "CounterSale.exe", true},
        {"OldQLMain.exe", "QLMain.exe", false},
    };
    for (const Case& c : cases) {
        ChildProcess& child = procs.start(c.file);
        EXPECT_EQ(host::IsProcessRunning(c.query), c.expected) << c.file << " as " << c.query;
        EXPECT_TRUE(host::KillProcess(child.id())) << c.file;
        const servicetest::ChildEnd end = child.wait();
        EXPECT_TRUE(end.signaled && end.code == SIGKILL) << c.file;
        EXPECT_FALSE(host::IsProcessRunning(c.query)) << c.file << " after its end";
    }
}

TEST_F(ProcessTest, AKilledChildNotYetReapedIsNotRunning) {
    ChildProcess& child = procs.start("OsBalancerSrv.exe");
    ASSERT_TRUE(host::IsProcessRunning("OsBalancerSrv.exe"));
    ASSERT_TRUE(host::KillProcess(child.id()));
    ASSERT_TRUE(child.becameZombie());
    for (const host::ProcessInfo& p : host::processSnapshot()) EXPECT_NE(p.id, child.id());
    EXPECT_FALSE(host::IsProcessRunning("OsBalancerSrv.exe"));
    EXPECT_EQ(host::moduleBaseName(child.id()), "unknown");
    EXPECT_EQ(host::FindProcessByModule("OsBalancerSrv.exe"), 0u);
}

TEST_F(ProcessTest, AProgramWhoseFileWasDeletedStillRunsUnderItsName) {
    ChildProcess& child = procs.start("QLMain.exe");
    std::filesystem::remove(procs.program("QLMain.exe"));
    EXPECT_TRUE(host::IsProcessRunning("QLMain.exe"));
    EXPECT_EQ(host::moduleBaseName(child.id()), "QLMain.exe");
}

TEST_F(ProcessTest, AProgramWhoseMainThreadEndedRunsOnInItsOtherThreads) {
    ChildProcess& child = procs.start("OsDispatchSrv.exe", {"--leader-exits"});
    // The thread group leader turns into a zombie while the other thread goes on.
    ASSERT_TRUE(child.becameZombie());
    EXPECT_TRUE(host::IsProcessRunning("OsDispatchSrv.exe"));
    EXPECT_EQ(host::moduleBaseName(child.id()), "OsDispatchSrv.exe");
    EXPECT_EQ(host::FindProcessByModule("OsDispatchSrv.exe"), child.id());
}

TEST_F(ProcessTest, AWindowsProgramRunByWineIsNamedByItsWindowsPath) {
    // Wine's loader is the executable; argv[0] holds the Windows program's path.
    ChildProcess& wine =
        procs.start("wine64-preloader", {}, "C:\\Program Files\\Ostrel\\OsReceiveSrv.exe");
    EXPECT_TRUE(host::IsProcessRunning("OsReceiveSrv.exe"));
    EXPECT_EQ(host::moduleBaseName(wine.id()), "OsReceiveSrv.exe");
    EXPECT_EQ(host::FindProcessByModule("osreceivesrv.exe"), wine.id());
    // Any other program keeps its executable's name whatever its argv[0] says.
    ChildProcess& other = procs.start("OsBalancerSrv.exe", {}, "C:\\Ostrel\\QLMain.exe");
    EXPECT_FALSE(host::IsProcessRunning("QLMain.exe"));
    EXPECT_EQ(host::moduleBaseName(other.id()), "OsBalancerSrv.exe");
}

TEST_F(ProcessTest, FindProcessByModuleMatchesTheWholeNameWithoutCase) {
    // Names that merely contain the image name are other programs, whatever their ids.
    ChildProcess& old = procs.start("OldQLMain.exe");
    procs.start("QLMain.exe.bak");
    EXPECT_EQ(host::FindProcessByModule("QLMain.exe"), 0u);
    ChildProcess& ql = procs.start("QLMain.exe");
    EXPECT_EQ(host::FindProcessByModule("QLMain.exe"), ql.id());
    EXPECT_EQ(host::FindProcessByModule("qlmain.EXE"), ql.id());
    EXPECT_EQ(host::FindProcessByModule("OldQLMain.exe"), old.id());
    EXPECT_EQ(host::FindProcessByModule("Main.exe"), 0u);
    EXPECT_EQ(host::FindProcessByModule("CounterSale.exe"), 0u);
}

TEST(ModuleBaseName, UnknownForTheIdleEntryAndForIdsThatNameNoProcess) {
    const std::string pidMax = testsupport::readFile("/proc/sys/kernel/pid_max");
    // Ids run below pid_max, so pid_max itself never names a process.
    const auto unused = static_cast<host::ProcessId>(std::stoul(pidMax));
    EXPECT_EQ(host::moduleBaseName(0), "unknown");
    EXPECT_EQ(host::moduleBaseName(unused), "unknown");
    EXPECT_FALSE(host::KillProcess(unused));
}

TEST(ProcessSnapshot, AProcessWeMayNotInspectIsNamedByArgvZeroAndItsModuleIsUnknown) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to look at a process as another user";
    // A child that gives up root looks at its parent, a root process whose executable link it
    // may no longer read; the exit code says which check failed.
    const auto parent = static_cast<host::ProcessId>(::getpid());
    const std::string expected = std::filesystem::path(host::programFilePath()).filename().string();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
        int code = 1;
        for (const host::ProcessInfo& p : host::processSnapshot())
            if (p.id == parent) code = p.imageName == expected ? 0 : 2;
        if (code == 0 && host::moduleBaseName(parent) != "unknown") code = 3;
        if (code == 0 && host::FindProcessByModule(expected) == parent) code = 4;
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    if (code == 10) GTEST_SKIP() << "cannot drop root here";
    EXPECT_NE(code, 1) << "our process is missing from the other user's snapshot";
    EXPECT_NE(code, 2) << "the image name is not argv[0]'s base name";
    EXPECT_NE(code, 3) << "the module name of an unreadable process is not \"unknown\"";
    EXPECT_NE(code, 4) << "an unreadable process was found by its module name";
    EXPECT_EQ(code, 0);
}

TEST(KillProcess, RefusesIdZeroWhichWouldSignalTheWholeProcessGroup) {
    // Run in a child with a process group of its own: if id 0 reached kill(), only the child
    // (and its group of one) would die.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setpgid(0, 0);
        ::_exit(host::KillProcess(0) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child was killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
