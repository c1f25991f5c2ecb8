#include "host/tree_ops.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "host/paths.h"
#include "host/platform/file_names.h"
#include "host/shell_errors.h"

namespace host {
namespace fs = std::filesystem;
namespace {

int codeFor(const std::error_code& ec, IoSide side) {
    return ShellCodeForFailure({ec ? ec : std::make_error_code(std::errc::io_error), side});
}

// True when `inner` is `outer` or lies below it, comparing whole path components (so "/a/bc"
// is not within "/a/b"). Both are canonical: no "." or "..", no trailing separator.
bool isWithin(const fs::path& inner, const fs::path& outer) {
    return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first ==
           outer.end();
}

// The copy runs in three passes so that files change all together or not at all: every file
// is first written beside the one it replaces, then the file system is flushed once, then each
// new file is renamed over its old one. A failure before the renames removes the new files and
// leaves every old file as it was (folders created on the way stay, empty or merged).
class TreeCopier {
  public:
    ~TreeCopier() {
        for (const Staged& s : m_staged) removeFileQuietly(s.temp);
    }

    int run(const fs::path& src, const fs::path& target, const fs::path& flushAt) {
        int code = copy(src, target);
        if (code == 0 && !m_staged.empty())
            code = ShellCodeForFailure(flushFileSystemOf(pathText(flushAt)));
        while (code == 0 && !m_staged.empty()) {
            code = ShellCodeForFailure(renameOver(m_staged.back().temp, m_staged.back().target));
            if (code == 0) m_staged.pop_back();
        }
        return code;
    }

  private:
    struct Staged {
        std::string temp;
        std::string target;
    };

    int copy(const fs::path& src, const fs::path& target) {
        std::error_code ec;
        fs::file_status st = fs::status(src, ec);
        if (ec) return codeFor(ec, IoSide::Source);
        if (fs::is_directory(st)) return copyFolder(src, target);
        if (fs::is_regular_file(st)) return stageFile(src, target);
        return 0;  // sockets, pipes and devices have no content to copy
    }

    int copyFolder(const fs::path& src, const fs::path& target) {
        std::error_code ec;
        // A folder reached again through a link would be copied without end.
        fs::path canon = fs::canonical(src, ec);
        if (ec) return codeFor(ec, IoSide::Source);
        for (const fs::path& open : m_chain)
            if (open == canon)
                return ShellCodeForFailure(
                    {std::make_error_code(std::errc::too_many_symbolic_link_levels),
                     IoSide::Source});
        fs::file_status ts = fs::status(target, ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            return codeFor(ec, IoSide::Destination);
        if (fs::exists(ts) && !fs::is_directory(ts)) return kDeFlDestIsDir;
        if (!fs::exists(ts)) {
            fs::create_directory(target, src, ec);
            if (ec) return codeFor(ec, IoSide::Destination);
        }
        m_chain.push_back(canon);
        int code = 0;
        fs::directory_iterator it(src, ec), end;
        if (ec) code = codeFor(ec, IoSide::Source);
        for (; code == 0 && it != end; it.increment(ec)) {
            code = copy(it->path(), target / it->path().filename());
            if (code == 0 && ec) code = codeFor(ec, IoSide::Source);
        }
        if (code == 0 && ec) code = codeFor(ec, IoSide::Source);
        m_chain.pop_back();
        return code;
    }

    int stageFile(const fs::path& src, const fs::path& target) {
        std::error_code ec;
        if (fs::is_directory(target, ec)) return kDeFileDestIsFld;
        Staged s{{}, pathText(target)};
        if (IoFailure f = stageFileBeside(pathText(src), s.target, s.temp))
            return ShellCodeForFailure(f);
        m_staged.push_back(std::move(s));
        return 0;
    }

    std::vector<fs::path> m_chain;  // canonical folders being copied, outermost first
    std::vector<Staged> m_staged;   // new files not yet renamed over their targets
};

}  // namespace

int ShellCodeForFailure(IoFailure f) {
    switch (classifyIoError(f.error)) {
        case IoError::None:
            return 0;
        case IoError::NameTooLong:
            return kDePathTooDeep;
        case IoError::LinkLoop:
            return kDeErrorMaxPath;
        case IoError::NotFound:
            return kDeInvalidFiles;
        case IoError::NoSpace:
            return kDeFileTooLarge;
        case IoError::AccessDenied:
            return f.side == IoSide::Source ? kDeAccessDeniedSrc : kErrorOnDest;
        case IoError::Other:
            return f.side == IoSide::Source ? kDeUnknownError : kErrorOnDest;
    }
    return kDeUnknownError;
}

namespace {

// Copies `src` to `target`, which is either missing or the folder the source's tree merges into.
int copyTo(const fs::path& src, const fs::path& target) {
    std::error_code ec;
    fs::path canonSrc = fs::weakly_canonical(src, ec);
    fs::path canonTarget = fs::weakly_canonical(target, ec);
    if (ec) return codeFor(ec, IoSide::Destination);
    if (canonTarget == canonSrc) return kDeSameFile;
    if (isWithin(canonTarget, canonSrc)) return kDeDestSubtree;
    if (!fs::exists(target, ec) && target.has_parent_path()) {
        // The shell creates a missing destination with the folders above it.
        fs::create_directories(target.parent_path(), ec);
        if (ec) return codeFor(ec, IoSide::Destination);
    }
    return TreeCopier().run(src, target, target);
}

// The source's status; kDeInvalidFiles when it is not there.
int sourceCode(const fs::path& src) {
    std::error_code ec;
    fs::file_status ss = fs::status(src, ec);
    if (fs::exists(ss)) return 0;
    return ec && ec != std::errc::no_such_file_or_directory ? codeFor(ec, IoSide::Source)
                                                            : kDeInvalidFiles;
}

}  // namespace

int CopyTreeCode(std::string_view source, std::string_view dest) {
    if (source.empty() || dest.empty()) return kDeInvalidFiles;
    const fs::path src = fsPath(ExcludeTrailingPathDelimiter(source));
    const fs::path dst = fsPath(ExcludeTrailingPathDelimiter(dest));
    if (int code = sourceCode(src)) return code;
    std::error_code ec;
    fs::file_status ds = fs::status(dst, ec);
    if (fs::exists(ds) && !fs::is_directory(ds)) return kDeFlDestIsDir;
    return copyTo(src, fs::exists(ds) ? dst / src.filename() : dst);
}

int MergeTreeCode(std::string_view source, std::string_view dest) {
    if (source.empty() || dest.empty()) return kDeInvalidFiles;
    const fs::path src = fsPath(ExcludeTrailingPathDelimiter(source));
    const fs::path dst = fsPath(ExcludeTrailingPathDelimiter(dest));
    if (int code = sourceCode(src)) return code;
    std::error_code ec;
    if (!fs::is_directory(src, ec)) return kDeInvalidFiles;  // only a folder has contents
    fs::file_status ds = fs::status(dst, ec);
    if (fs::exists(ds) && !fs::is_directory(ds)) return kDeFlDestIsDir;
    return copyTo(src, dst);
}

bool CopyTree(std::string_view source, std::string_view dest, std::string& errorText) {
    const int code = CopyTreeCode(source, dest);
    errorText = ShellErrorText(code);
    return code == 0;
}

bool MergeTree(std::string_view source, std::string_view dest, std::string& errorText) {
    const int code = MergeTreeCode(source, dest);
    errorText = ShellErrorText(code);
    return code == 0;
}

bool DeleteTree(std::string_view folder) {
    const std::string name = ExcludeTrailingPathDelimiter(folder);
    if (name.empty()) return false;
    const fs::path path = fsPath(name);
    std::error_code ec;
    fs::path canon = fs::weakly_canonical(path, ec);
    if (ec || canon == canon.root_path()) return false;  // never a whole file system
    if (!fs::exists(fs::symlink_status(path, ec))) return false;
    fs::remove_all(path, ec);
    return !ec;
}

}  // namespace host
