// qltool lock DIR [SECONDS]: takes the installation lock of DIR as qlupdate does, says so,
// holds it for SECONDS (default 3600) and releases it; when another process holds it, says who.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "host/install_lock.h"
#include "host/paths.h"

extern const char* const qltool_lock_usage =
    "lock DIR [SECONDS]  hold DIR's installation lock (exit 6 and the holder when taken)";

int qltool_lock(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_lock_usage);
        return 64;
    }
    const long seconds = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 3600;
    host::InstallLock lock;
    std::error_code ec;
    switch (lock.acquire(host::IncludeTrailingPathDelimiter(argv[1]), ec)) {
        case host::LockResult::Acquired:
            std::printf("locked pid=%u\n", lock.holder().pid);
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            return 0;
        case host::LockResult::Held:
            std::printf("held pid=%u started=%s\n", lock.holder().pid,
                        lock.holder().started.c_str());
            return 6;
        case host::LockResult::Failed:
            std::fprintf(stderr, "cannot lock: %s\n", ec.message().c_str());
            return 1;
    }
    return 1;
}
