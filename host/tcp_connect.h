// The one resolve-then-connect of the HTTP client and the MySQL session: a numeric address is
// used as it is, any other name goes to the system's resolver, and the addresses are tried in
// the resolver's order until one connects.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/result.h"
#include "host/platform/socket.h"

namespace host {

// Blocking, with the operating system's own connect time-out; callers that need a bound of
// their own run it on a thread of its own. The error is the resolver's, or the last connect's.
core::Result<Socket, SocketError> connectByName(std::string_view name, std::uint16_t port,
                                                AddressFamily family);

// True for four decimal numbers 0-255 separated by dots.
bool isDottedAddress(std::string_view text);

}  // namespace host
