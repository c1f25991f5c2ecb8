#include "host/platform/process.h"

#include "core/text.h"

namespace host {

bool imageListed(std::span<const ProcessInfo> processes, std::string_view imageName) {
    // The first entry is the idle entry, never a program of ours; it is not compared.
    for (std::size_t i = 1; i < processes.size(); ++i)
        if (core::equalsNoCaseAscii(processes[i].imageName, imageName)) return true;
    return false;
}

bool IsProcessRunning(std::string_view imageName) {
    return imageListed(processSnapshot(), imageName);
}

// The whole name, as the running-state test compares it: a name that only contains it
// ("OldQLMain.exe") is another program, which the termination must never reach. A process
// that cannot be read is seen as "unknown", as the idle entry is.
ProcessId FindProcessByModule(std::string_view name) {
    for (const ProcessInfo& p : processSnapshot())
        if (core::equalsNoCaseAscii(moduleBaseName(p.id), name)) return p.id;
    return 0;
}

}  // namespace host
