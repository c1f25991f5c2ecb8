#include "host/services.h"

namespace host {

namespace {

constexpr std::string_view kStopHeading = "Stop QL Services";
constexpr std::string_view kRestartHeading = "Restart QL Services";

void logLine(const ServiceLog& addLog, std::string_view line) {
    if (!line.empty()) addLog(std::string(line));
}

std::string netCommand(std::string_view verb, const ServiceEntry& e) {
    return "net " + std::string(verb) + " " + std::string(e.serviceName);
}

}  // namespace

RunningSnapshot LookAtServices() {
    RunningSnapshot running{};
    for (std::size_t i = 0; i < ServiceTable.size(); ++i)
        running[i] = IsProcessRunning(ServiceTable[i].imageName);
    return running;
}

bool StopServices(const ServiceLog& addLog, RunningSnapshot& running, const TickSource& ticks) {
    logLine(addLog, kStopHeading);
    // Every entry is looked at before anything is stopped: stopping one service may end
    // another's process, which must still count as having run.
    running = LookAtServices();

    for (std::size_t i = 0; i < ServiceTable.size(); ++i) {
        const ServiceEntry& e = ServiceTable[i];
        if (!running[i]) continue;
        logLine(addLog, e.stopLine);
        switch (e.kind) {
            case ServiceKind::Service:
                (void)RunAndWait(netCommand("stop", e));
                break;
            case ServiceKind::Program:
                // Id 0 (detected but not found by module) is refused by KillProcess itself.
                (void)KillProcess(FindProcessByModule(e.imageName));
                break;
        }
        WaitSeconds(1, ticks);
    }
    return true;
}

void RestartServices(const ServiceLog& addLog, const RunningSnapshot& running,
                     const TickSource& ticks, RunningSnapshot* restarted) {
    if (restarted) restarted->fill(false);
    logLine(addLog, kRestartHeading);
    for (std::size_t i = 0; i < ServiceTable.size(); ++i) {
        const ServiceEntry& e = ServiceTable[i];
        if (e.kind != ServiceKind::Service || !running[i]) continue;
        // A service that came back by itself (or was started by someone else) is left alone.
        if (IsProcessRunning(e.imageName)) continue;
        logLine(addLog, e.restartLine);
        (void)RunAndWait(netCommand("start", e));
        if (restarted) (*restarted)[i] = true;
        WaitSeconds(1, ticks);
    }
}

}  // namespace host
