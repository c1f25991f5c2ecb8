// How the session guards an installation and its download: the knobs of the staged install,
// the download's retries and idle time-out, and the wait for a company's lock on the server.
#pragma once

#include <chrono>
#include <optional>

namespace app {

struct SafetySettings {
    // Test hook: the staged install (and its recovery) ends the process as a kill would after
    // this many file operations (environment QLUPDATE_FAULT_AFTER_FILE_OPS).
    std::optional<long> faultAfterFileOps;
    // No byte for this many seconds ends a download attempt; 0 waits as long as it takes (the
    // window's behaviour). Console runs default to kConsoleIdleTimeoutSeconds.
    int idleTimeoutSeconds = 0;
    // Attempts of one package download on connection failures, and the pause before the
    // second one (doubled before each further one).
    int downloadAttempts = 5;
    std::chrono::milliseconds firstRetryPause{1000};
    // How long a company waits for another updater that runs the same company's scripts.
    int schemaLockWaitSeconds = 300;
};

inline constexpr int kConsoleIdleTimeoutSeconds = 300;

}  // namespace app
