// Durable writes on POSIX: fsync on the file, then on the folder that names it (a rename or a
// new name is only durable once its folder is).
#include "host/platform/durable.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace host {
namespace {

IoFailure failure() {
    return {std::error_code(errno, std::system_category()), IoSide::Destination};
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

IoFailure writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failure();
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

}  // namespace

IoFailure syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return failure();
    IoFailure f;
    if (::fsync(fd) != 0) f = failure();
    ::close(fd);
    return f;
}

IoFailure writeFileDurably(const std::string& path, std::string_view bytes) {
    const std::string temp = path + ".new";
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return failure();
    IoFailure f = writeAll(fd, bytes);
    if (!f && ::fsync(fd) != 0) f = failure();
    if (::close(fd) != 0 && !f) f = failure();
    if (!f && ::rename(temp.c_str(), path.c_str()) != 0) f = failure();
    if (f) {
        ::unlink(temp.c_str());
        return f;
    }
    return syncFolder(folderOf(path));
}

IoFailure appendDurably(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return failure();
    IoFailure f = writeAll(fd, bytes);
    if (!f && ::fdatasync(fd) != 0) f = failure();
    if (::close(fd) != 0 && !f) f = failure();
    return f;
}

}  // namespace host
