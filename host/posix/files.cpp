#include "host/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <ctime>

#include <array>
#include <cstdlib>
#include <utility>

namespace host {
namespace {

// The failure that errno describes.
IoFailure failure(IoSide side) {
    return {std::error_code(errno, std::system_category()), side};
}

// The new file's name in the destination's folder; short so that it fits wherever the
// destination's own name fits.
std::string tempNameBeside(const std::string& to) {
    auto slash = to.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : to.substr(0, slash + 1);
    return dir + ".qlcopy-XXXXXX";
}

IoFailure copyBytes(int in, int out) {
    std::array<char, 1 << 17> buf;
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failure(IoSide::Source);
        if (n == 0) return {};
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return failure(IoSide::Destination);
            done += w;
        }
    }
}

// The new file's owner, group and permission bits: those of the regular file it replaces, so
// that replacing keeps who may use it; a file that replaces nothing keeps the source's bits
// and belongs to us. When the owner cannot be kept (a process that may not give files away),
// the copy fails rather than hand the file to someone else. The owner goes first: a change of
// owner clears the set-id bits that the mode then sets again.
IoFailure copyOwnerAndMode(int out, const struct stat& source, const struct stat* replaced) {
    if (replaced && ::fchown(out, replaced->st_uid, replaced->st_gid) != 0)
        return failure(IoSide::Destination);
    const mode_t mode = (replaced ? replaced->st_mode : source.st_mode) & 07777;
    if (::fchmod(out, mode) != 0) return failure(IoSide::Destination);
    return {};
}

// The times are the source's: the new content's modification time.
IoFailure copyTimes(int out, const struct stat& source) {
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::futimens(out, times) != 0) return failure(IoSide::Destination);
    return {};
}

}  // namespace

IoError classifyIoError(const std::error_code& error) {
    if (!error) return IoError::None;
    // std::filesystem reports errno values in the generic category, our calls in the system one.
    if (error.category() != std::system_category() && error.category() != std::generic_category())
        return IoError::Other;
    switch (error.value()) {
        case ENOENT:
        case ENOTDIR:
            return IoError::NotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return IoError::AccessDenied;
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return IoError::NoSpace;
        case ENAMETOOLONG:
            return IoError::NameTooLong;
        case ELOOP:
            return IoError::LinkLoop;
        default:
            return IoError::Other;
    }
}

std::string programFilePath() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

IoFailure stageFileBeside(const std::string& from, const std::string& to, std::string& staged) {
    staged.clear();
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return failure(IoSide::Source);
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        IoFailure f = failure(IoSide::Source);
        ::close(in);
        return f;
    }
    // Only a regular file is replaced in place of itself; a link in the way is replaced by a
    // new file and what it names is left alone.
    struct stat old {};
    const bool replaces = ::lstat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    std::string temp = tempNameBeside(to);
    int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        IoFailure f = failure(IoSide::Destination);
        ::close(in);
        return f;
    }
    IoFailure f = copyBytes(in, out);
    if (!f) f = copyOwnerAndMode(out, st, replaces ? &old : nullptr);
    if (!f) f = copyTimes(out, st);
    ::close(in);
    if (::close(out) != 0 && !f) f = failure(IoSide::Destination);
    if (f)
        ::unlink(temp.c_str());
    else
        staged = std::move(temp);
    return f;
}

IoFailure flushFileSystemOf(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failure(IoSide::Destination);
    IoFailure f;
    if (::syncfs(fd) != 0) f = failure(IoSide::Destination);
    ::close(fd);
    return f;
}

IoFailure renameOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return failure(IoSide::Destination);
    return {};
}

void removeFileQuietly(const std::string& path) {
    ::unlink(path.c_str());
}

std::optional<std::uint64_t> freeDiskSpace(const std::string& folder) {
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) return std::nullopt;
    // f_bavail: the blocks an unprivileged writer may use; root may have a few more.
    return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

}  // namespace host

namespace host {

LocalDateTime localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (::localtime_r(&now, &tm) == nullptr) return {};
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool setFileTimeLocal(const std::string& path, const LocalDateTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;  // the local rules decide whether summer time applies
    const std::time_t when = std::mktime(&tm);
    if (when == static_cast<std::time_t>(-1)) return false;
    const timespec times[2] = {{when, 0}, {when, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool fileTimeLocal(const std::string& path, LocalDateTime& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    std::tm tm{};
    if (::localtime_r(&st.st_mtime, &tm) == nullptr) return false;
    out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

bool setReadOnly(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return ::chmod(path.c_str(), st.st_mode & 07555) == 0;
}

bool isWriteProtected(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

}  // namespace host
