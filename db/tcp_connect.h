// Opens the session's TCP connection: resolution and connect (host::connectByName) run on a
// thread of their own that is abandoned when the connect's deadline passes first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/result.h"
#include "db/client_errors.h"
#include "db/deadline.h"
#include "host/platform/socket.h"

namespace db {

// What runs on the resolving thread: name to connected socket. Tests pass a slow one.
using TcpOpener =
    std::function<core::Result<host::Socket, host::SocketError>(const std::string&, std::uint16_t)>;

// IPv4 TCP to host:port by `deadline` (no limit: on the caller's thread). Every failure is 2003
// with the host and, when the transport gave one, its reason ("Connection timed out" when the
// deadline passed). An empty `open` is host::connectByName.
core::Result<host::Socket, MySqlError> connectTcp(std::string_view hostName, std::uint16_t port,
                                                  Deadline deadline, TcpOpener open = {});

}  // namespace db
