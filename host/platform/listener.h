// A listening TCP socket on an IPv4 loopback or any address: test peers (fake servers)
// accept connections through it. Port 0 picks a free port.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/result.h"
#include "host/platform/socket.h"

namespace host {

class Listener {
  public:
    Listener() = default;
    ~Listener();
    Listener(Listener&& other) noexcept;
    Listener& operator=(Listener&& other) noexcept;
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds to address:port (IPv4, numeric) and listens.
    static core::Result<Listener, SocketError> listen(std::string_view address, std::uint16_t port);
    std::uint16_t port() const { return m_port; }
    // Waits for one connection; timeoutMs < 0 waits without limit. Fails with SocketOp::Wait
    // and code ETIMEDOUT when none came in time.
    core::Result<Socket, SocketError> accept(int timeoutMs);
    void close();

  private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

}  // namespace host
