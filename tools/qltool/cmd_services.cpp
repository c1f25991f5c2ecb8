// qltool services: the product's services and programs in table order, one per line, as
// "N KIND IMAGE running|stopped", from one snapshot of the running processes.
#include <cstdio>

#include "host/services.h"

extern const char* const qltool_services_usage =
    "services            the product's services and programs: N KIND IMAGE running|stopped";

int qltool_services(int argc, char** /*argv*/) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_services_usage);
        return 64;
    }
    const std::vector<host::ProcessInfo> processes = host::processSnapshot();
    for (std::size_t i = 0; i < host::ServiceTable.size(); ++i) {
        const host::ServiceEntry& e = host::ServiceTable[i];
        const char* kind = e.kind == host::ServiceKind::Service ? "service" : "program";
        const bool running = host::imageListed(processes, e.imageName);
        std::printf("%zu %s %.*s %s\n", i + 1, kind, static_cast<int>(e.imageName.size()),
                    e.imageName.data(), running ? "running" : "stopped");
    }
    return 0;
}
