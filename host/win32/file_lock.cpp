// FileLock on Windows: LockFileEx on a handle that child processes do not inherit. The lock
// covers one byte far beyond any content, because Windows byte-range locks are mandatory: the
// holder's text at the start stays readable by others. The system releases the lock when the
// handle closes, which includes the end of the process however it ends.
#include "host/platform/file_lock.h"

#include <windows.h>

#include "host/win32/wide.h"

namespace host {

namespace {

constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;  // the byte at 0x7FFFFFFF00000000

HANDLE handleOf(NativeHandle h) {
    return reinterpret_cast<HANDLE>(h);
}

}  // namespace

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
    HANDLE h =
        CreateFileW(win32::toWide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = win32::lastError();
        return LockResult::Failed;
    }
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD e = GetLastError();
        CloseHandle(h);
        if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return LockResult::Held;
        error = std::error_code(static_cast<int>(e), std::system_category());
        return LockResult::Failed;
    }
    // Who holds it, for the next one who finds it taken; a failure here leaves the lock valid.
    LARGE_INTEGER zero{};
    if (SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) && SetEndOfFile(h)) {
        DWORD written = 0;
        WriteFile(h, holderText.data(), static_cast<DWORD>(holderText.size()), &written, nullptr);
    }
    m_handle = reinterpret_cast<NativeHandle>(h);
    return LockResult::Acquired;
}

void FileLock::release() {
    if (m_handle == kNoHandle) return;
    CloseHandle(handleOf(m_handle));
    m_handle = kNoHandle;
}

}  // namespace host
