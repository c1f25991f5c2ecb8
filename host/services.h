// The product's services and programs: the fixed table, and the two procedures that stop them
// before an installation and start the stopped services again after it.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "host/platform/process.h"

namespace host {

enum class ServiceKind { Service, Program };

struct ServiceEntry {
    ServiceKind kind;
    std::string_view imageName;    // the process's program file name
    std::string_view serviceName;  // for "net stop"/"net start"; empty for a program
    std::string_view stopLine;     // logged before stopping
    std::string_view restartLine;  // logged before restarting; empty: nothing is logged
};

// The image and service names differ in some rows (OsReceiveSrv.exe runs OsReceiver);
// both are used exactly as written.
// clang-format off
inline constexpr std::array<ServiceEntry, 8> ServiceTable{{
    {ServiceKind::Service, "OsReplicatorSrv.exe", "OsReplicator", "Stop Replicator...", "Restart Replicator..."},
    {ServiceKind::Service, "OsReceiveSrv.exe", "OsReceiver", "Stop Receiver...", "Restart Receiver..."},
    {ServiceKind::Service, "OsTerminatorSrv.exe", "OsTerminator", "Stop Terminator...", "Restart Terminator..."},
    {ServiceKind::Service, "OsDispatchSrv.exe", "OsDispatcher", "Stop Dispatcher...", "Restart Dispatcher..."},
    {ServiceKind::Service, "OsBalancerSrv.exe", "OsBalancer", "Stop Balancer...", "Restart Balancer..."},
    {ServiceKind::Service, "OsListeningSrv.exe", "OsListening", "Stop Listening...", ""},
    {ServiceKind::Program, "QLMain.exe", "", "Stop QLMain...", ""},
    {ServiceKind::Program, "CounterSale.exe", "", "Stop QLSales...", ""},
}};
// clang-format on

// One truth value per table entry, in table order: was its process running when StopServices
// looked. All false until StopServices has run; the caller keeps it for RestartServices.
using RunningSnapshot = std::array<bool, ServiceTable.size()>;

// Where the procedures write their lines (the session's AddLog).
using ServiceLog = std::function<void(const std::string&)>;

// Which entries' processes run now (what StopServices would stop), changing nothing.
RunningSnapshot LookAtServices();

// Looks at all eight entries first, then stops each running service with "net stop NAME" and
// terminates each running program, each step followed by a one-second pause. Always true:
// failures of the service tool or of a termination do not stop the update.
bool StopServices(const ServiceLog& addLog, RunningSnapshot& running,
                  const TickSource& ticks = systemTicks());

// Starts again, with "net start NAME" and a one-second pause, every service that ran before
// and is not running now, in table order. The programs are never started again. `restarted`,
// when given, says which entries were started.
void RestartServices(const ServiceLog& addLog, const RunningSnapshot& running,
                     const TickSource& ticks = systemTicks(), RunningSnapshot* restarted = nullptr);

}  // namespace host
