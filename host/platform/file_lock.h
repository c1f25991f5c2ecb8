// An exclusive lock on a file, taken without waiting and held until release() or the end of the
// process: the system drops it when the process ends however it ends (killed, crashed), so no
// lock is ever left behind by a dead holder. Others may still read the file while it is held.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

#include "host/platform/native_handle.h"

namespace host {

enum class LockResult {
    Acquired,  // this process holds the lock now
    Held,      // another process (or another FileLock of ours) holds it
    Failed,    // the file could not be opened or locked; see the error
};

class FileLock {
  public:
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens `path` (created when missing, never through a link) and locks it. When acquired,
    // the file's bytes are replaced by `holderText`, so that a process finding the lock taken
    // can say who holds it. Child processes do not inherit the lock.
    LockResult acquire(const std::string& path, std::string_view holderText,
                       std::error_code& error);
    // Drops the lock; the file stays (removing it would race a process about to lock it).
    void release();
    bool held() const { return m_handle != kNoHandle; }

  private:
    NativeHandle m_handle = kNoHandle;
};

}  // namespace host
