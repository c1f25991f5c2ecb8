// The staged install: the package's tree merged into the installation so that a failure, a
// kill or a power loss at any moment leaves the old version or, once it completed, the new one,
// and the version it replaced kept in a backup until the next install completes.
//
// The protocol, in the installation's state folder (host/install_state.h):
//  1. the plan (every folder to create, file to replace, file to add) is written to the journal
//     durably (new file, fsync, rename, fsync of the folder);
//  2. each file to be replaced is kept in "staging/files/" (a hard link; a copy where the file
//     system refuses links), and each new file is written beside its target;
//  3. the file system is flushed once; the journal is written again with the new files' names
//     and "ready";
//  4. the new files are renamed over their targets; then "commit" is appended (fsync);
//  5. the journal's text becomes "staging/manifest", "staging" becomes "backup-" + the replaced
//     version, older backups are removed and the journal is removed.
// Whoever finds a journal (the next start) finishes step 5 when it holds "commit", and else
// undoes everything: the new files and folders are removed and every replaced file is put back
// from the backup by a rename (so each name holds the old or the new file at every moment). The
// undo only looks at what is there, so it may itself be cut off and run again.
// A rollback undoes the last backup's install the same way, under a journal of its own.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "host/install_journal.h"

namespace host {

// Called before each file operation (test hook: it may end the process there).
using FileOpHook = std::function<void()>;
// The fault-injection hook: lets `operations` file operations happen and ends the process, as
// a kill would, before the next one.
FileOpHook KillAfterFileOps(long operations);

struct StagedInstall {
    std::string source;       // the unpacked package's tree (its contents go into the folder)
    std::string installPath;  // with its trailing separator
    std::string fromVersion;  // the version being replaced (names the backup)
    std::string toVersion;
    std::string running;  // the services' state before the install, kept for a recovery
    FileOpHook hook;
};

struct StagedResult {
    int code = 0;                // the shell's result code of the copy (0: installed)
    bool restored = false;       // the copy failed and every touched file was put back
    bool restoreFailed = false;  // ... and putting back failed: the journal stays for a retry
    std::string restoreError;
};

StagedResult StagedMergeTree(const StagedInstall& install);

enum class RecoveryAction {
    None,        // no journal
    Restored,    // an unfinished install was undone
    Completed,   // a committed install had its clean-up finished
    RolledBack,  // an unfinished rollback was finished
    Failed,      // the journal could not be read or its work not done: it stays
};

struct Recovery {
    RecoveryAction action = RecoveryAction::None;
    Journal journal;
    std::string error;
};

// Finishes or undoes what a journal of the installation records.
Recovery RecoverInstallation(const std::string& installPath, const FileOpHook& hook);

enum class RollbackStatus { Done, NoBackup, Failed };
struct Rollback {
    RollbackStatus status = RollbackStatus::NoBackup;
    std::string version;  // the version put back
    std::string error;
};

// The backup's version ("" when there is none to roll back to).
std::optional<std::string> LastBackupVersion(const std::string& installPath);
// Puts the last backup's version back (its files back, the files its install added removed);
// `running` is kept in the journal for a recovery.
Rollback RollbackInstallation(const std::string& installPath, const std::string& running,
                              const FileOpHook& hook);

// The version the installation's files are, as the last install or rollback recorded it.
std::optional<std::string> InstalledVersion(const std::string& installPath);

}  // namespace host
