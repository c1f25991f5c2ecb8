// The client's TCP connection with its receive buffer: connect by host and port, probe an idle
// connection, send a request whole, and receive into a fixed buffer that the readers consume.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "host/platform.h"

namespace net {

class Connection {
  public:
    Connection();

    // Keeps the open connection when it goes to `host`:`port` and is still alive (an idle
    // connection that became readable was closed by the server or is out of step, so it is
    // dropped); otherwise connects anew. True when an existing connection was kept.
    // Throws EIdSocketError.
    bool ensure(const std::string& host, std::uint16_t port, host::AddressFamily family);
    void close();
    bool isOpen() const { return m_socket.isOpen(); }
    // The server closed its side in order (a receive gave 0 bytes).
    bool peerClosed() const { return m_peerClosed; }

    // Throws EIdSocketError; the connection is closed first.
    void send(std::span<const std::byte> bytes);

    // Bytes received and not yet consumed.
    std::span<const std::byte> pending() const;
    void consume(std::size_t n) { m_start += n; }
    void discardPending() { m_start = m_end = 0; }

    // Receives what comes in one read into the free space; false when the peer closed.
    // Throws EIdSocketError, or EIdReadTimeout when `timeoutMs` > 0 passes without data.
    bool receiveMore(int timeoutMs);
    // With nothing pending: receives until `size` bytes are pending or the peer closes.
    void fillBlock(std::size_t size, int timeoutMs);
    // Waits up to `timeoutMs` for data; true when some can be read (or a close is pending).
    bool readableWithin(int timeoutMs);

  private:
    std::size_t receiveInto(std::size_t offset, std::size_t max, int timeoutMs);
    [[noreturn]] void fail(const host::SocketError& e);

    host::Socket m_socket;
    std::string m_host;
    std::uint16_t m_port = 0;
    bool m_peerClosed = false;
    std::vector<std::byte> m_buf;  // fixed size: a block, a longest line and its line end
    std::size_t m_start = 0;
    std::size_t m_end = 0;
};

}  // namespace net
