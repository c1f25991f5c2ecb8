#include "host/staged_install.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include "host/install_state.h"
#include "host/paths.h"
#include "host/platform/durable.h"
#include "host/platform/file_names.h"
#include "host/platform/files.h"
#include "host/platform/this_process.h"
#include "host/shell_errors.h"
#include "host/tree_ops.h"

namespace host {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kFilesFolder = "files";
constexpr std::string_view kManifestName = "manifest";
constexpr std::string_view kRestoreTemp = ".qlrestore";
constexpr std::string_view kCopyTempPrefix = ".qlcopy-";
constexpr std::size_t kCopyTempLength = 14;  // ".qlcopy-" and six characters of mkostemp

int codeFor(const std::error_code& ec, IoSide side) {
    return ShellCodeForFailure({ec ? ec : std::make_error_code(std::errc::io_error), side});
}

std::string readWhole(const std::string& path, bool& found) {
    std::optional<std::string> bytes = readWholeFile(path);
    found = bytes.has_value();
    return found ? std::move(*bytes) : std::string();
}

// One name, not "." or "..", no separator: a journal from disk names nothing outside its place.
bool isOneName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

bool isSafeRel(std::string_view rel) {
    if (rel.empty()) return false;
    std::size_t start = 0;
    bool first = true;
    for (;;) {
        const auto slash = rel.find('/', start);
        const std::string_view part = rel.substr(start, slash - start);
        if (!isOneName(part)) return false;
        if (first && part == kStateFolderName) return false;
        first = false;
        if (slash == std::string_view::npos) return true;
        start = slash + 1;
    }
}

std::string folderOfRel(const std::string& target) {
    return pathText(fsPath(target).parent_path());
}

bool existsNoFollow(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(fsPath(path), ec));
}

// Counts the file operations for the test hook.
class Steps {
  public:
    explicit Steps(const FileOpHook& hook) : m_hook(hook) {}
    void operator()() const {
        if (m_hook) m_hook();
    }

  private:
    const FileOpHook& m_hook;
};

// A copy of `from` (a file or a link) at `to`: a hard link where the file system allows one,
// else a copy. `to` must not exist.
std::error_code keepCopy(const std::string& from, const std::string& to) {
    std::error_code ec;
    const fs::path src = fsPath(from);
    const fs::path dst = fsPath(to);
    const fs::file_status st = fs::symlink_status(src, ec);
    if (ec) return ec;
    if (fs::is_symlink(st)) {
        fs::copy_symlink(src, dst, ec);
        return ec;
    }
    fs::create_hard_link(src, dst, ec);
    if (!ec) return ec;
    ec.clear();
    fs::copy_file(src, dst, fs::copy_options::overwrite_existing, ec);
    return ec;
}

class Installation {
  public:
    Installation(std::string installPath, const FileOpHook& hook)
        : m_install(IncludeTrailingPathDelimiter(installPath)),
          m_state(StateFolder(m_install)),
          m_step(hook) {}

    std::string target(const std::string& rel) const { return m_install + rel; }
    std::string backupRoot(const Journal& j) const { return m_state + j.backup + kPathDelim; }
    std::string backupFile(const Journal& j, const std::string& rel) const {
        return backupRoot(j) + std::string(kFilesFolder) + kPathDelim + rel;
    }
    std::string journalPath() const { return JournalPath(m_install); }
    const std::string& install() const { return m_install; }
    const std::string& state() const { return m_state; }
    const Steps& step() const { return m_step; }

    bool validJournal(const Journal& j) const {
        if (!isOneName(j.backup)) return false;
        return std::all_of(j.entries.begin(), j.entries.end(), [](const JournalEntry& e) {
            return isSafeRel(e.rel) && (e.temp.empty() || isOneName(e.temp));
        });
    }

    // Puts every replaced file back and removes what the install added; see the header.
    std::error_code undo(const Journal& j) const {
        removeNewFiles(j);
        for (auto it = j.entries.rbegin(); it != j.entries.rend(); ++it) {
            const JournalEntry& e = *it;
            const std::string t = target(e.rel);
            std::error_code ec;
            if (e.op == JournalEntry::Op::Folder) {
                m_step();
                fs::remove(fsPath(t), ec);  // only an empty folder goes; one the user filled stays
                continue;
            }
            if (e.op == JournalEntry::Op::Add) {
                if (!j.ready) continue;  // nothing was renamed yet
                m_step();
                fs::remove(fsPath(t), ec);
                if (ec && existsNoFollow(t)) return ec;
                continue;
            }
            const std::string kept = backupFile(j, e.rel);
            if (!existsNoFollow(kept)) continue;  // never kept, so never replaced
            const fs::path keptPath = fsPath(kept);
            const fs::path targetPath = fsPath(t);
            if (!fs::is_symlink(fs::symlink_status(keptPath, ec)) &&
                !fs::is_symlink(fs::symlink_status(targetPath, ec)) &&
                fs::equivalent(keptPath, targetPath, ec))
                continue;  // the old file is in place
            const std::string temp = pathText(fs::path(targetPath).replace_filename(kRestoreTemp));
            removeFileQuietly(temp);
            m_step();
            if ((ec = keepCopy(kept, temp))) return ec;
            m_step();
            if (IoFailure f = renameOver(temp, t)) {
                removeFileQuietly(temp);
                return f.error;
            }
        }
        m_step();
        if (IoFailure f = flushFileSystemOf(m_install)) return f.error;
        return {};
    }

    // The new files not renamed yet, first, so that the folders they are in can go.
    void removeNewFiles(const Journal& j) const {
        std::set<std::string> folders;
        for (const JournalEntry& e : j.entries) {
            if (e.op == JournalEntry::Op::Folder) continue;
            const std::string t = target(e.rel);
            folders.insert(folderOfRel(t));
            if (e.temp.empty()) continue;
            m_step();
            removeFileQuietly(pathText(fsPath(t).replace_filename(fsPath(e.temp))));
        }
        if (j.ready) return;
        // The journal was written before the new files were: any of ours beside a target.
        for (const std::string& folder : folders) {
            std::error_code ec;
            for (fs::directory_iterator d(fsPath(folder), ec), end; !ec && d != end;
                 d.increment(ec)) {
                const std::string name = pathText(d->path().filename());
                if (name.size() == kCopyTempLength && name.starts_with(kCopyTempPrefix)) {
                    m_step();
                    removeFileQuietly(pathText(d->path()));
                }
            }
        }
    }

    std::error_code removeJournal() const {
        m_step();
        std::error_code ec;
        fs::remove(fsPath(journalPath()), ec);
        if (ec) return ec;
        return syncFolder(ExcludeTrailingPathDelimiter(m_state)).error;
    }

    std::error_code recordInstalled(const std::string& version) const {
        m_step();
        return writeFileDurably(InstalledRecordPath(m_install), version + "\n").error;
    }

    // After the commit: the staging folder becomes the last backup, older ones go.
    std::error_code finishInstall(const Journal& j) const {
        const std::string staging = backupRoot(j);
        const std::string backupName = std::string(kBackupPrefix) + j.from;
        std::error_code ec;
        if (fs::is_directory(fsPath(staging), ec)) {
            Journal manifest = j;
            manifest.committed = false;
            m_step();
            if (IoFailure f =
                    writeFileDurably(staging + std::string(kManifestName), FormatJournal(manifest)))
                return f.error;
            const std::string backup = m_state + backupName;
            m_step();
            fs::remove_all(fsPath(backup), ec);
            if (ec) return ec;
            m_step();
            fs::rename(fsPath(ExcludeTrailingPathDelimiter(staging)), fsPath(backup), ec);
            if (ec) return ec;
        }
        removeBackupsBut(backupName);
        if ((ec = recordInstalled(j.to))) return ec;
        return removeJournal();
    }

    void removeBackupsBut(const std::string& keep) const {
        std::error_code ec;
        for (fs::directory_iterator d(fsPath(m_state), ec), end; !ec && d != end; d.increment(ec)) {
            const std::string name = pathText(d->path().filename());
            if (name != keep && name.starts_with(kBackupPrefix)) {
                m_step();
                std::error_code rc;
                fs::remove_all(d->path(), rc);
            }
        }
    }

    // A rollback's journal done: the backup it used is the installation now.
    std::error_code finishRollback(const Journal& j) const {
        m_step();
        std::error_code ec;
        fs::remove_all(fsPath(ExcludeTrailingPathDelimiter(backupRoot(j))), ec);
        if (ec) return ec;
        if ((ec = recordInstalled(j.to))) return ec;
        return removeJournal();
    }

    std::error_code writeJournal(const Journal& j) const {
        m_step();
        return writeFileDurably(journalPath(), FormatJournal(j)).error;
    }

  private:
    std::string m_install;
    std::string m_state;
    Steps m_step;
};

// What the install will do, found by walking the package's tree against the installation's.
class Planner {
  public:
    Planner(const Installation& inst, Journal& journal) : m_inst(inst), m_journal(journal) {}

    int plan(const fs::path& src, const std::string& rel) {
        std::error_code ec;
        fs::path canon = fs::canonical(src, ec);
        if (ec) return codeFor(ec, IoSide::Source);
        if (std::find(m_chain.begin(), m_chain.end(), canon) != m_chain.end())
            return ShellCodeForFailure(
                {std::make_error_code(std::errc::too_many_symbolic_link_levels), IoSide::Source});
        m_chain.push_back(canon);
        int code = 0;
        fs::directory_iterator it(src, ec), end;
        if (ec) code = codeFor(ec, IoSide::Source);
        for (; code == 0 && it != end; it.increment(ec)) {
            const std::string name = pathText(it->path().filename());
            if (rel.empty() && name == kStateFolderName) continue;  // never the updater's own
            code = planOne(it->path(), rel.empty() ? name : rel + "/" + name);
        }
        if (code == 0 && ec) code = codeFor(ec, IoSide::Source);
        m_chain.pop_back();
        return code;
    }

    std::vector<fs::path> sources;  // the source of each file entry, in entry order

  private:
    int planOne(const fs::path& src, const std::string& rel) {
        std::error_code ec;
        const fs::file_status st = fs::status(src, ec);
        if (ec) return codeFor(ec, IoSide::Source);
        const std::string t = m_inst.target(rel);
        const fs::file_status ts = fs::status(fsPath(t), ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            return codeFor(ec, IoSide::Destination);
        if (fs::is_directory(st)) {
            if (fs::exists(ts) && !fs::is_directory(ts)) return kDeFlDestIsDir;
            if (!fs::exists(ts)) m_journal.entries.push_back({JournalEntry::Op::Folder, rel, {}});
            return plan(src, rel);
        }
        if (!fs::is_regular_file(st)) return 0;  // sockets, pipes, devices: nothing to copy
        if (fs::is_directory(ts)) return kDeFileDestIsFld;
        const auto op = existsNoFollow(t) ? JournalEntry::Op::Replace : JournalEntry::Op::Add;
        m_journal.entries.push_back({op, rel, {}});
        sources.push_back(src);
        return 0;
    }

    const Installation& m_inst;
    Journal& m_journal;
    std::vector<fs::path> m_chain;
};

int checkEnds(const fs::path& src, const fs::path& dst) {
    std::error_code ec;
    const fs::file_status ss = fs::status(src, ec);
    if (!fs::exists(ss))
        return ec && ec != std::errc::no_such_file_or_directory ? codeFor(ec, IoSide::Source)
                                                                : kDeInvalidFiles;
    if (!fs::is_directory(ss)) return kDeInvalidFiles;
    const fs::file_status ds = fs::status(dst, ec);
    if (!fs::is_directory(ds)) return fs::exists(ds) ? kDeFlDestIsDir : kDeInvalidFiles;
    const fs::path a = fs::weakly_canonical(src, ec);
    const fs::path b = fs::weakly_canonical(dst, ec);
    if (ec) return codeFor(ec, IoSide::Destination);
    if (a == b) return kDeSameFile;
    if (std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first == a.end())
        return kDeDestSubtree;
    return 0;
}

// Steps 2 to 4 of the protocol; the shell's code of the first failure.
int stageAndRename(const Installation& inst, Journal& j, const std::vector<fs::path>& sources) {
    const Steps& step = inst.step();
    std::error_code ec;
    std::size_t file = 0;
    for (JournalEntry& e : j.entries) {
        const std::string t = inst.target(e.rel);
        if (e.op == JournalEntry::Op::Folder) {
            step();
            fs::create_directory(fsPath(t), ec);
            if (ec) return codeFor(ec, IoSide::Destination);
            continue;
        }
        if (e.op == JournalEntry::Op::Replace) {
            const std::string kept = inst.backupFile(j, e.rel);
            fs::create_directories(fsPath(kept).parent_path(), ec);
            if (ec) return codeFor(ec, IoSide::Destination);
            step();
            if ((ec = keepCopy(t, kept))) return codeFor(ec, IoSide::Destination);
        }
        step();
        std::string staged;
        if (IoFailure f = stageFileBeside(pathText(sources[file++]), t, staged))
            return ShellCodeForFailure(f);
        e.temp = pathText(fsPath(staged).filename());
    }
    step();
    if (IoFailure f = flushFileSystemOf(inst.install())) return ShellCodeForFailure(f);
    j.ready = true;
    if ((ec = inst.writeJournal(j))) return codeFor(ec, IoSide::Destination);
    for (const JournalEntry& e : j.entries) {
        if (e.op == JournalEntry::Op::Folder) continue;
        const std::string t = inst.target(e.rel);
        step();
        if (IoFailure f = renameOver(pathText(fsPath(t).replace_filename(fsPath(e.temp))), t))
            return ShellCodeForFailure(f);
    }
    step();
    if (IoFailure f = appendDurably(inst.journalPath(), kJournalCommitLine))
        return ShellCodeForFailure(f);
    j.committed = true;
    return 0;
}

}  // namespace

FileOpHook KillAfterFileOps(long operations) {
    return [left = operations]() mutable {
        if (left-- <= 0) killThisProcess();
    };
}

StagedResult StagedMergeTree(const StagedInstall& request) {
    StagedResult result;
    result.restored = true;  // until something was touched and could not be put back
    const Installation inst(request.installPath, request.hook);
    const fs::path src = fsPath(ExcludeTrailingPathDelimiter(request.source));
    if ((result.code = checkEnds(src, fsPath(ExcludeTrailingPathDelimiter(inst.install())))))
        return result;
    std::error_code ec;
    if (!EnsureStateFolder(inst.install(), ec)) {
        result.code = codeFor(ec, IoSide::Destination);
        return result;
    }
    Journal j;
    j.from = request.fromVersion;
    j.to = request.toVersion;
    j.running = request.running;
    if (!isOneName(std::string(kBackupPrefix) + j.from) || existsNoFollow(inst.journalPath())) {
        result.code = kDeUnknownError;  // an unsafe version, or an unfinished journal
        return result;
    }
    fs::remove_all(fsPath(ExcludeTrailingPathDelimiter(inst.backupRoot(j))),
                   ec);  // a staging folder no journal speaks of
    Planner planner(inst, j);
    if ((result.code = planner.plan(src, ""))) return result;
    if ((ec = inst.writeJournal(j))) {
        result.code = codeFor(ec, IoSide::Destination);
        return result;
    }
    result.code = stageAndRename(inst, j, planner.sources);
    if (result.code == 0) {
        // The install stands; a failing clean-up is finished by the next start.
        (void)inst.finishInstall(j);
        result.restored = false;
        return result;
    }
    if (j.committed) {
        result.code = 0;
        result.restored = false;
        return result;
    }
    ec = inst.undo(j);
    if (!ec) {
        std::error_code rc;
        fs::remove_all(fsPath(ExcludeTrailingPathDelimiter(inst.backupRoot(j))), rc);
        ec = inst.removeJournal();
    }
    result.restored = !ec;
    result.restoreFailed = static_cast<bool>(ec);
    if (ec) result.restoreError = ec.message();
    return result;
}

Recovery RecoverInstallation(const std::string& installPath, const FileOpHook& hook) {
    Recovery r;
    const Installation inst(installPath, hook);
    bool found = false;
    const std::string text = readWhole(inst.journalPath(), found);
    if (!found) return r;
    std::optional<Journal> j = ParseJournal(text);
    if (!j || !inst.validJournal(*j)) {
        r.action = RecoveryAction::Failed;
        r.error = "journal unreadable: " + inst.journalPath();
        return r;
    }
    r.journal = *j;
    std::error_code ec;
    if (j->kind == JournalKind::Install && j->committed) {
        ec = inst.finishInstall(*j);
        r.action = RecoveryAction::Completed;
    } else {
        ec = inst.undo(*j);
        if (!ec && j->kind == JournalKind::Install) {
            std::error_code rc;
            fs::remove_all(fsPath(ExcludeTrailingPathDelimiter(inst.backupRoot(*j))), rc);
            ec = inst.removeJournal();
        } else if (!ec) {
            ec = inst.finishRollback(*j);
        }
        r.action =
            j->kind == JournalKind::Install ? RecoveryAction::Restored : RecoveryAction::RolledBack;
    }
    if (ec) {
        r.action = RecoveryAction::Failed;
        r.error = ec.message();
    }
    return r;
}

std::optional<std::string> LastBackupVersion(const std::string& installPath) {
    const std::string state = StateFolder(IncludeTrailingPathDelimiter(installPath));
    std::optional<std::string> best;
    std::error_code ec;
    for (fs::directory_iterator d(fsPath(state), ec), end; !ec && d != end; d.increment(ec)) {
        const std::string name = pathText(d->path().filename());
        std::error_code mc;
        if (name.starts_with(kBackupPrefix) &&
            fs::is_regular_file(d->path() / std::string(kManifestName), mc) &&
            (!best || name.substr(kBackupPrefix.size()) > *best))
            best = name.substr(kBackupPrefix.size());
    }
    return best;
}

Rollback RollbackInstallation(const std::string& installPath, const std::string& running,
                              const FileOpHook& hook) {
    Rollback r;
    const Installation inst(installPath, hook);
    const std::optional<std::string> version = LastBackupVersion(installPath);
    if (!version) return r;
    r.version = *version;
    const std::string folder = std::string(kBackupPrefix) + *version;
    bool found = false;
    std::optional<Journal> manifest = ParseJournal(
        readWhole(inst.state() + folder + kPathDelim + std::string(kManifestName), found));
    Journal j;
    if (manifest) {
        j.entries = std::move(manifest->entries);
        j.from = manifest->to;
    }
    j.kind = JournalKind::Rollback;
    j.to = *version;
    j.backup = folder;
    j.running = running;
    j.ready = true;
    for (JournalEntry& e : j.entries) e.temp.clear();  // renamed long ago
    if (!manifest || !inst.validJournal(j)) {
        r.status = RollbackStatus::Failed;
        r.error = "backup manifest unreadable: " + folder;
        return r;
    }
    std::error_code ec = inst.writeJournal(j);
    if (!ec) ec = inst.undo(j);
    if (!ec) ec = inst.finishRollback(j);
    r.status = ec ? RollbackStatus::Failed : RollbackStatus::Done;
    if (ec) r.error = ec.message();
    return r;
}

std::optional<std::string> InstalledVersion(const std::string& installPath) {
    bool found = false;
    std::string text =
        readWhole(InstalledRecordPath(IncludeTrailingPathDelimiter(installPath)), found);
    if (!found || text.empty() || text.back() != '\n') return std::nullopt;
    text.pop_back();
    return text;
}

}  // namespace host
