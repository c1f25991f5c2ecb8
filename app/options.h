// The command-line settings of qlupdate that operators, tests and the demo may give. The first
// group changes only where the updater looks; the second what a console run does around the
// same rules (a plan instead of an update, a rerun of what did not finish, how much it prints,
// how many companies at once).
#pragma once

#include <optional>
#include <string>

namespace app {

struct UpdaterOptions {
    bool console = false;  // --console: run against the console view
    bool yes = false;      // --yes: answer "Avanti" and the final question with OK
    std::optional<std::string> installPath;  // --install-path DIR: as if chosen in the chooser
    std::optional<std::string> serverUrl;    // --server URL: the update server (both resources)
    std::optional<std::string> tempRoot;     // --temp-root DIR: base of the temporary folder
    std::optional<int> mysqlPort;            // --mysql-port N: instead of 3306
    // The guards of an installation (app/safety_settings.h).
    std::optional<int> idleTimeoutSeconds;  // --idle-timeout S: console downloads (0: none)
    std::optional<int> lockWaitSeconds;     // --lock-wait S: wait for a company's lock
    std::optional<long> faultAfterFileOps;  // QLUPDATE_FAULT_AFTER_FILE_OPS (tests only)
    std::optional<int> downloadAttempts;    // --download-attempts N: the package's requests
    std::optional<int> retryPauseMs;        // QLUPDATE_RETRY_PAUSE_MS (tests only)

    bool rollback = false;    // --rollback: put the previous version's files back
    bool plan = false;        // --plan: what an update would do, doing none of it
    bool json = false;        // --json: the plan as JSON on standard output
    bool onlyFailed = false;  // --only-failed: the scripts of what the last report left unfinished
    bool quiet = false;       // --quiet: the closing summary only
    int jobs = 1;             // --jobs N: companies updated at once, each on its own connection
};

// The most companies --jobs runs at once (each holds a connection to the server).
inline constexpr int kMaxJobs = 64;

}  // namespace app
