#include "host/install_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/install_state.h"
#include "host/platform/this_process.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

TEST(InstallLock, SecondLockOfTheSameInstallationIsHeldAndNamesTheHolder) {
    TempDir t;
    host::InstallLock first, second;
    std::error_code ec;
    ASSERT_EQ(first.acquire(t.str(), ec), host::LockResult::Acquired) << ec.message();
    EXPECT_EQ(first.installPath(), t.str());
    // flock belongs to the open file, so a second open in this process conflicts too.
    EXPECT_EQ(second.acquire(t.str(), ec), host::LockResult::Held);
    EXPECT_EQ(second.holder().pid, host::thisProcessId());
    EXPECT_EQ(second.holder().started, first.holder().started);
    EXPECT_EQ(second.holder().started.size(), 19u) << second.holder().started;
    EXPECT_FALSE(second.held());

    first.release();
    EXPECT_EQ(second.acquire(t.str(), ec), host::LockResult::Acquired);
    // Another installation is another lock.
    TempDir other;
    EXPECT_EQ(first.acquire(other.str(), ec), host::LockResult::Acquired);
}

TEST(InstallLock, FailsWithoutAnInstallationFolderOrThroughALinkedStateFolder) {
    TempDir t;
    host::InstallLock lock;
    std::error_code ec;
    EXPECT_EQ(lock.acquire(t.str() + "missing/", ec), host::LockResult::Failed);
    EXPECT_TRUE(ec);
    // A state folder that is a link could lead the lock, the journal and the backups anywhere.
    if (!testsupport::symbolicLinksWork()) return;  // no links on this file system
    std::filesystem::create_directory(t.path() / "elsewhere");
    std::filesystem::create_directory(t.path() / "inst");
    std::filesystem::create_directory_symlink(t.path() / "elsewhere", t.path() / "inst/.qlupdate");
    EXPECT_EQ(lock.acquire(t.str() + "inst/", ec), host::LockResult::Failed);
    EXPECT_FALSE(std::filesystem::exists(t.path() / "elsewhere/lock"));
}

TEST(InstallLock, HolderTextRoundTripsAndBadValuesReadAsUnknown) {
    const struct {
        const char* name;
        std::string text;
        std::uint32_t pid;
        std::string started;
    } cases[] = {
        {"written", host::FormatLockHolder({4321, "2014-05-12 15:30:00"}), 4321,
         "2014-05-12 15:30:00"},
        {"empty (holder not written yet)", "", 0, ""},
        {"not a number", "pid=12a\nstarted=x\n", 0, "x"},
        {"beyond 32 bits", "pid=4294967296\n", 0, ""},
        {"negative", "pid=-5\n", 0, ""},
        {"CR LF", "pid=7\r\nstarted=2020-01-01 00:00:00\r\n", 7, "2020-01-01 00:00:00"},
    };
    for (const auto& c : cases) {
        const host::LockHolder h = host::ParseLockHolder(c.text);
        EXPECT_EQ(h.pid, c.pid) << c.name;
        EXPECT_EQ(h.started, c.started) << c.name;
    }
}

}  // namespace
