#include "host/install_lock.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "core/text.h"
#include "host/install_state.h"
#include "host/platform/file_names.h"
#include "host/platform/files.h"
#include "host/platform/this_process.h"

namespace host {
namespace {

// A holder writes its line just after it took the lock; a newcomer that reads in between
// finds the file empty and looks again for a moment.
constexpr int kHolderReadTries = 10;
constexpr auto kHolderReadPause = std::chrono::milliseconds(20);
constexpr std::size_t kMaxHolderText = 4096;

std::string stampOf(const LocalDateTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::string readHolderText(const std::string& path) {
    return readWholeFile(path, kMaxHolderText).value_or(std::string());
}

}  // namespace

std::string FormatLockHolder(const LockHolder& h) {
    return "pid=" + std::to_string(h.pid) + "\nstarted=" + h.started + "\n";
}

LockHolder ParseLockHolder(std::string_view text) {
    LockHolder h;
    for (const std::string& line : core::splitLines(std::string(text))) {
        std::string value = line;
        const std::string key = core::SplitAt(value, '=');
        if (key == "pid" && !value.empty() && value.size() <= 10 &&
            value.find_first_not_of("0123456789") == std::string::npos) {
            const unsigned long long pid = std::stoull(value);
            if (pid <= UINT32_MAX) h.pid = static_cast<std::uint32_t>(pid);
        } else if (key == "started") {
            h.started = core::Trim(value);
        }
    }
    return h;
}

LockResult InstallLock::acquire(const std::string& installPath, std::error_code& error) {
    release();
    m_holder = {};
    if (!EnsureStateFolder(installPath, error)) {
        if (!error) error = std::make_error_code(std::errc::not_a_directory);
        return LockResult::Failed;
    }
    const std::string path = LockFilePath(installPath);
    const LockHolder me{thisProcessId(), stampOf(localNow())};
    const LockResult r = m_lock.acquire(path, FormatLockHolder(me), error);
    if (r == LockResult::Acquired) {
        m_installPath = installPath;
        m_holder = me;
    } else if (r == LockResult::Held) {
        for (int i = 0; i < kHolderReadTries && m_holder.pid == 0; ++i) {
            if (i > 0) std::this_thread::sleep_for(kHolderReadPause);
            m_holder = ParseLockHolder(readHolderText(path));
        }
    }
    return r;
}

void InstallLock::release() {
    m_lock.release();
    m_installPath.clear();
}

}  // namespace host
