// The running process itself: its id, and an immediate end without any clean-up (what a kill
// or a power loss does to a run; the fault-injection hook of the staged install uses it).
#pragma once

#include "host/platform/process.h"

namespace host {

ProcessId thisProcessId();
// Ends the process at once, as SIGKILL does: no destructors, no buffers flushed.
[[noreturn]] void killThisProcess();

}  // namespace host
