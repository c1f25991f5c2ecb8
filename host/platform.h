// The platform layer: everything the system asks of the operating system goes through the
// headers included here; nothing outside host/posix and host/win32 includes OS headers.
#pragma once

#include "host/platform/data_file.h"
#include "host/platform/desktop.h"
#include "host/platform/file_names.h"
#include "host/platform/files.h"
#include "host/platform/large_memory.h"
#include "host/platform/native_handle.h"
#include "host/platform/paths.h"
#include "host/platform/process.h"
#include "host/platform/socket.h"
#include "host/platform/terminal.h"
#include "host/platform/text.h"
