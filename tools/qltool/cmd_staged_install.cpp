// qltool staged-install: the updater's staged install, its recovery and its rollback, on any
// two folders. QLUPDATE_FAULT_AFTER_FILE_OPS=N ends the process (as a kill) after N file
// operations, as in qlupdate.
//   qltool staged-install install SOURCE DIR FROM TO   exit 0 installed, 1 failed and restored,
//                                                      2 failed and not restored (journal kept)
//   qltool staged-install recover DIR                  prints what it did; exit 0, 2 failed
//   qltool staged-install rollback DIR                 exit 0 rolled back, 7 no backup, 8 failed
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/paths.h"
#include "host/shell_errors.h"
#include "host/staged_install.h"

extern const char* const qltool_staged_install_usage =
    "staged-install install SOURCE DIR FROM TO | recover DIR | rollback DIR";

namespace {

host::FileOpHook hookFromEnvironment() {
    const char* n = std::getenv("QLUPDATE_FAULT_AFTER_FILE_OPS");
    if (!n || !*n) return {};
    return host::KillAfterFileOps(std::strtol(n, nullptr, 10));
}

const char* actionName(host::RecoveryAction a) {
    switch (a) {
        case host::RecoveryAction::None:
            return "nothing";
        case host::RecoveryAction::Restored:
            return "restored";
        case host::RecoveryAction::Completed:
            return "completed";
        case host::RecoveryAction::RolledBack:
            return "rolled back";
        case host::RecoveryAction::Failed:
            return "failed";
    }
    return "failed";
}

}  // namespace

int qltool_staged_install(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    const host::FileOpHook hook = hookFromEnvironment();
    if (mode == "install" && argc == 6) {
        const host::StagedResult r = host::StagedMergeTree(
            {argv[2], host::IncludeTrailingPathDelimiter(argv[3]), argv[4], argv[5], "", hook});
        if (r.code == 0) {
            std::printf("installed\n");
            return 0;
        }
        std::printf(
            "failed: %s (code %d); %s\n", std::string(host::ShellErrorText(r.code)).c_str(), r.code,
            (r.restored ? std::string("restored") : "not restored: " + r.restoreError).c_str());
        return r.restored ? 1 : 2;
    }
    if (mode == "recover" && argc == 3) {
        const host::Recovery r = host::RecoverInstallation(argv[2], hook);
        std::printf("%s%s%s\n", actionName(r.action), r.error.empty() ? "" : ": ", r.error.c_str());
        return r.action == host::RecoveryAction::Failed ? 2 : 0;
    }
    if (mode == "rollback" && argc == 3) {
        const host::Rollback r = host::RollbackInstallation(argv[2], "", hook);
        switch (r.status) {
            case host::RollbackStatus::Done:
                std::printf("rolled back to %s\n", r.version.c_str());
                return 0;
            case host::RollbackStatus::NoBackup:
                std::printf("no backup\n");
                return 7;
            case host::RollbackStatus::Failed:
                std::printf("failed: %s\n", r.error.c_str());
                return 8;
        }
    }
    std::fprintf(stderr, "usage: qltool %s\n", qltool_staged_install_usage);
    return 64;
}
