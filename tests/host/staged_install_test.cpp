// The staged install through qltool staged-install, a real process each time: killed after
// every possible number of file operations, then recovered (and killed during the recovery),
// on a file system that fills up, with a read-only file and a file held open. After each run the
// installation holds the old version or, once a run completed, the new one; nothing else.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "core/md5.h"
#include "host/install_journal.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::ToolRun;

// rel -> "f:" + bytes, "l:" + link target, "d" for a folder; the updater's own folder left out.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const fs::path& root) {
    Snapshot s;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string rel = it->path().lexically_relative(root).generic_string();
        if (rel == ".qlupdate") {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_symlink())
            s[rel] = "l:" + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            s[rel] = "d";
        else {
            const std::string bytes = testsupport::readFile(it->path());
            s[rel] = bytes.size() <= 64 ? "f:" + bytes
                                        : "f:" + std::to_string(bytes.size()) + " bytes, MD5 " +
                                              core::Md5Hex(bytes);
        }
    }
    return s;
}

ToolRun tool(const std::vector<std::string>& args, long faultAfter = -1) {
    std::vector<std::string> argv{"env"};
    if (faultAfter >= 0)
        argv.push_back("QLUPDATE_FAULT_AFTER_FILE_OPS=" + std::to_string(faultAfter));
    argv.push_back(testsupport::qltoolPath());
    argv.push_back("staged-install");
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::runTool(argv);
}

// An installation of version 1 and the package of version 2 beside it.
struct World {
    TempDir dir;
    fs::path inst = dir.path() / "inst";
    fs::path pkg = dir.path() / "pkg";

    World() {
        dir.write("inst/a.txt", "old a");
        dir.write("inst/keep.txt", "not in the package");
        dir.write("inst/sub/b.bin", std::string(70000, 'b'));
        dir.write("inst/ro.txt", "old read-only");
        fs::permissions(inst / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
        fs::create_symlink("keep.txt", inst / "link.txt");
        dir.write("pkg/a.txt", "new a");
        dir.write("pkg/sub/b.bin", std::string(90000, 'B'));
        dir.write("pkg/sub/c.txt", "added");
        dir.write("pkg/newdir/deeper/e.txt", "added deeper");
        dir.write("pkg/ro.txt", "new read-only");
        dir.write("pkg/link.txt", "a file where a link was");
        oldTree = snapshot(inst);
        newTree = oldTree;
        for (const auto& [rel, v] : snapshot(pkg)) newTree[rel] = v;
    }
    ToolRun install(long faultAfter = -1) {
        return tool({"install", pkg.string(), inst.string(), "1", "2"}, faultAfter);
    }
    ToolRun recover(long faultAfter = -1) { return tool({"recover", inst.string()}, faultAfter); }
    bool journalLeft() const { return fs::exists(inst / ".qlupdate/journal"); }

    Snapshot oldTree, newTree;
};

TEST(StagedInstall, KilledAfterAnyFileOperationTheNextStartGivesOldOrNew) {
    World probe;
    ASSERT_EQ(probe.install().out, "installed\n");
    ASSERT_EQ(snapshot(probe.inst), probe.newTree);
    int killedRuns = 0;
    bool sawNewAfterKill = false;
    for (long n = 0; n < 200; ++n) {
        World w;
        const ToolRun run = w.install(n);
        if (run.out == "installed\n") break;  // n is beyond the last operation
        ++killedRuns;
        ASSERT_EQ(run.out, "") << "after " << n;
        const ToolRun rec = w.recover();
        ASSERT_EQ(rec.status, 0) << "after " << n << ": " << rec.out;
        const Snapshot now = snapshot(w.inst);
        ASSERT_TRUE(now == w.oldTree || now == w.newTree)
            << "after " << n << ": " << rec.out << testing::PrintToString(now);
        sawNewAfterKill |= now == w.newTree;
        EXPECT_EQ(now == w.newTree, rec.out == "completed\n") << "after " << n;
        EXPECT_FALSE(w.journalLeft()) << "after " << n;
        EXPECT_FALSE(fs::exists(w.inst / ".qlupdate/staging")) << "after " << n;
        // The run that follows the recovery installs as if nothing had happened.
        if (now == w.oldTree) {
            ASSERT_EQ(w.install().out, "installed\n") << "after " << n;
            EXPECT_EQ(snapshot(w.inst), w.newTree) << "after " << n;
        }
    }
    EXPECT_GT(killedRuns, 20);
    EXPECT_TRUE(sawNewAfterKill);  // the last kills fall after the commit
}

TEST(StagedInstall, RecoveryKilledInTurnIsFinishedByTheNextOne) {
    World probe;
    ASSERT_EQ(probe.install().out, "installed\n");
    // Kills in the middle of the renames, then in the recovery.
    bool restored = false;
    for (long m = 0; m < 60 && !restored; ++m) {
        World w;
        ASSERT_EQ(w.install(18).out, "");
        ASSERT_TRUE(w.journalLeft());
        const ToolRun first = w.recover(m);
        const ToolRun second = w.recover();
        ASSERT_EQ(second.status, 0) << m << ": " << second.out;
        EXPECT_EQ(snapshot(w.inst), w.oldTree) << "recovery killed after " << m;
        EXPECT_FALSE(w.journalLeft());
        restored = first.out == "restored\n";
    }
    EXPECT_TRUE(restored);
}

TEST(StagedInstall, RollbackPutsTheReplacedVersionBackAndKeepsNoBackup) {
    World w;
    ASSERT_EQ(tool({"rollback", w.inst.string()}).status, 7);  // no backup yet
    ASSERT_EQ(w.install().out, "installed\n");
    ASSERT_TRUE(fs::exists(w.inst / ".qlupdate/backup-1/manifest"));
    // Killed half-way, the rollback is finished by the next start.
    EXPECT_EQ(tool({"rollback", w.inst.string()}, 6).out, "");
    EXPECT_EQ(w.recover().out, "rolled back\n");
    EXPECT_EQ(snapshot(w.inst), w.oldTree);
    EXPECT_EQ(testsupport::readFile(w.inst / ".qlupdate/installed"), "1\n");
    EXPECT_EQ(tool({"rollback", w.inst.string()}).status, 7);
    // Installing again and rolling back without a kill.
    ASSERT_EQ(w.install().out, "installed\n");
    EXPECT_EQ(tool({"rollback", w.inst.string()}).out, "rolled back to 1\n");
    EXPECT_EQ(snapshot(w.inst), w.oldTree);
}

TEST(StagedInstall, OnlyTheLastBackupStays) {
    World w;
    ASSERT_EQ(w.install().out, "installed\n");
    w.dir.write("pkg/a.txt", "version 3");
    ASSERT_EQ(tool({"install", w.pkg.string(), w.inst.string(), "2", "3"}).out, "installed\n");
    EXPECT_FALSE(fs::exists(w.inst / ".qlupdate/backup-1"));
    EXPECT_EQ(testsupport::readFile(w.inst / ".qlupdate/backup-2/files/a.txt"), "new a");
    EXPECT_EQ(testsupport::readFile(w.inst / ".qlupdate/installed"), "3\n");
}

TEST(StagedInstall, FileHeldOpenKeepsItsBytesForItsReaderAndTheInstallCompletes) {
    World w;
    std::ifstream held(w.inst / "a.txt", std::ios::binary);
    ASSERT_EQ(w.install().out, "installed\n");
    EXPECT_EQ(snapshot(w.inst), w.newTree);
    std::string seen((std::istreambuf_iterator<char>(held)), {});
    EXPECT_EQ(seen, "old a");
}

TEST(StagedInstall, FolderWhereAFileGoesFailsBeforeAnythingChanges) {
    World w;
    fs::create_directories(w.inst / "newdir" / "deeper" / "e.txt" / "x");
    const Snapshot before = snapshot(w.inst);
    const ToolRun r = w.install();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(snapshot(w.inst), before);
    EXPECT_FALSE(w.journalLeft());
}

// A file system that fills up half-way through the new files (root only: it mounts a tmpfs).
TEST(StagedInstall, FullFileSystemLeavesTheOldVersion) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    TempDir mnt;
    if (::mount("tmpfs", mnt.path().c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "no tmpfs here";
    struct Unmount {
        const TempDir& d;
        ~Unmount() { ::umount2(d.path().c_str(), MNT_DETACH); }
    } unmount{mnt};
    const fs::path inst = mnt.path() / "inst";
    for (int i = 0; i < 4; ++i)
        mnt.write("inst/f" + std::to_string(i), std::string(20000, char('a' + i)));
    const Snapshot before = snapshot(inst);
    // The package lies elsewhere: only its copy fills the small file system.
    TempDir src;
    for (int i = 0; i < 8; ++i) src.write("f" + std::to_string(i), std::string(40000, 'N'));
    const ToolRun r = tool({"install", src.path().string(), inst.string(), "1", "2"});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("restored"), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(inst), before);
    EXPECT_FALSE(fs::exists(inst / ".qlupdate/journal"));
}

TEST(InstallJournal, ReadsWhatItWritesAndRefusesWhatItDidNot) {
    host::Journal j;
    j.from = "2024\tA%";
    j.to = "2025";
    j.running = "01000000";
    j.entries = {{host::JournalEntry::Op::Folder, "new dir", ""},
                 {host::JournalEntry::Op::Replace, "a\nb.txt", ".qlcopy-AbC123"},
                 {host::JournalEntry::Op::Add, "sub/c%.txt", ""}};
    j.ready = true;
    const std::string text = host::FormatJournal(j);
    const std::optional<host::Journal> back = host::ParseJournal(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(host::FormatJournal(*back), text);
    EXPECT_EQ(back->from, j.from);
    EXPECT_EQ(back->entries[1].rel, "a\nb.txt");
    EXPECT_FALSE(back->committed);
    struct {
        const char* name;
        std::string text;
        bool readable;
        bool committed;
    } cases[] = {
        {"commit appended", text + "commit\n", true, true},
        {"torn commit", text + "comm", true, false},
        {"wrong header", "qlupdate journal 2\n", false, false},
        {"unknown line", text + "rename\tx\n", false, false},
        {"bad escape", text + "add\tx%41\n", false, false},
        {"field too many", text + "add\tx\ty\tz\n", false, false},
        {"empty", "", false, false},
    };
    for (const auto& c : cases) {
        const std::optional<host::Journal> r = host::ParseJournal(c.text);
        EXPECT_EQ(r.has_value(), c.readable) << c.name;
        if (r) {
            EXPECT_EQ(r->committed, c.committed) << c.name;
        }
    }
}

}  // namespace
