// The command-line settings of qlupdate that operators, tests and the demo may give; none of
// them changes how the updater decides, only where it looks.
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
    std::optional<long> faultAfterFileOps;
    bool rollback = false;  // --rollback: put the previous version's files back  //
                            // QLUPDATE_FAULT_AFTER_FILE_OPS (tests only)
};

}  // namespace app
