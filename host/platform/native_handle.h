// The operating system's handle of an open file or socket, as the platform classes keep it: a
// POSIX descriptor, a Windows HANDLE or SOCKET. One integer type wide enough for all three
// keeps OS headers out of the platform headers.
#pragma once

#include <cstdint>

namespace host {

using NativeHandle = std::intptr_t;
// -1: no descriptor on POSIX, INVALID_HANDLE_VALUE and INVALID_SOCKET on Windows.
inline constexpr NativeHandle kNoHandle = -1;

}  // namespace host
