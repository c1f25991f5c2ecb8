// InstallLock: one updater per installation. The file ".qlupdate/lock" of the installation is
// locked for the whole run (host/platform/file_lock.h: the system drops the lock when the
// process ends however it ends) and says who holds it: process id and start time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "host/platform/file_lock.h"

namespace host {

struct LockHolder {
    std::uint32_t pid = 0;  // 0: unknown (the holder had not written its line yet)
    std::string started;    // local time "yyyy-mm-dd hh:mm:ss", or ""
};

// The lock file's text: "pid=N" and "started=..." lines.
std::string FormatLockHolder(const LockHolder& holder);
LockHolder ParseLockHolder(std::string_view text);

class InstallLock {
  public:
    // Locks the installation (its state folder is created when missing). Held: holder() says
    // who has it. Failed: `error` says why (no such folder, no right to write it).
    LockResult acquire(const std::string& installPath, std::error_code& error);
    void release();
    bool held() const { return m_lock.held(); }
    // The installation this lock holds ("" when none).
    const std::string& installPath() const { return m_installPath; }
    const LockHolder& holder() const { return m_holder; }

  private:
    FileLock m_lock;
    std::string m_installPath;
    LockHolder m_holder;
};

}  // namespace host
