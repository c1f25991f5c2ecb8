// FileLock on POSIX: flock(2) on a descriptor opened close-on-exec. The lock belongs to the
// open file description, so it ends with the process and is not passed to the commands the
// updater runs (net stop/start).
#include "host/platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace host {

FileLock::FileLock(FileLock&& other) noexcept : m_handle(other.m_handle) {
    other.m_handle = kNoHandle;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        m_handle = other.m_handle;
        other.m_handle = kNoHandle;
    }
    return *this;
}

LockResult FileLock::acquire(const std::string& path, std::string_view holderText,
                             std::error_code& error) {
    release();
    error.clear();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error = std::error_code(errno, std::system_category());
        return LockResult::Failed;
    }
    int rc;
    do rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) return LockResult::Held;
        error = std::error_code(e, std::system_category());
        return LockResult::Failed;
    }
    // Who holds it, for the next one who finds it taken; a failure here leaves the lock valid.
    if (::ftruncate(fd, 0) == 0) {
        std::size_t done = 0;
        while (done < holderText.size()) {
            const ssize_t n = ::pwrite(fd, holderText.data() + done, holderText.size() - done,
                                       static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
    }
    m_handle = fd;
    return LockResult::Acquired;
}

void FileLock::release() {
    if (m_handle == kNoHandle) return;
    ::close(static_cast<int>(m_handle));
    m_handle = kNoHandle;
}

}  // namespace host
