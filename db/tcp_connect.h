// Opens the session's TCP connection: a dotted address is used as is, any other name goes to
// the system's resolver on a thread of its own that is abandoned after the connect time-out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/result.h"
#include "db/client_errors.h"
#include "host/platform/socket.h"

namespace db {

// IPv4 TCP to host:port within `timeoutSeconds` (0: no limit, resolved on the caller's thread).
// Every failure is 2003 with the host and, when the transport gave one, its reason.
core::Result<host::Socket, MySqlError> connectTcp(std::string_view hostName, std::uint16_t port,
                                                  int timeoutSeconds);

// What runs on the resolving thread: name to connected socket. Tests pass a slow one.
using TcpOpener =
    std::function<core::Result<host::Socket, host::SocketError>(const std::string&, std::uint16_t)>;
core::Result<host::Socket, MySqlError> connectTcp(std::string_view hostName, std::uint16_t port,
                                                  int timeoutSeconds, TcpOpener open);
// The system's resolver, then a connect to each address in turn.
core::Result<host::Socket, host::SocketError> resolveAndConnect(const std::string& name,
                                                                std::uint16_t port);

// True for four decimal numbers 0-255 separated by dots.
bool isDottedAddress(std::string_view text);

}  // namespace db
