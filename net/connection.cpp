#include "net/connection.h"

#include <cstring>

#include "host/tcp_connect.h"
#include "net/http_failure.h"
#include "net/id_exceptions.h"

namespace net {

namespace {
constexpr std::size_t kBufferSize = kReceiveBlock + kMaxLineLength + 2 + 4096;
}

Connection::Connection() : m_buf(kBufferSize) {}

void Connection::fail(const host::SocketError& e) {
    close();
    throw EIdSocketError(e.code, e.text);
}

void Connection::close() {
    if (m_socket.isOpen()) {
        m_socket.shutdownBoth();
        m_socket.close();
    }
    m_peerClosed = false;
    discardPending();
}

bool Connection::ensure(const std::string& host, std::uint16_t port, host::AddressFamily family) {
    if (m_socket.isOpen() && (m_peerClosed || host != m_host || port != m_port)) close();
    discardPending();
    if (m_socket.isOpen()) {
        auto readable = m_socket.waitReadable(0);
        if (readable && !*readable) return true;
        close();
    }
    auto socket = host::connectByName(host, port, family);
    if (!socket) fail(socket.error());
    m_socket = std::move(*socket);
    m_host = host;
    m_port = port;
    m_peerClosed = false;
    return false;
}

void Connection::send(std::span<const std::byte> bytes) {
    if (auto r = m_socket.sendAll(bytes); !r) fail(r.error());
}

std::span<const std::byte> Connection::pending() const {
    return std::span<const std::byte>(m_buf).subspan(m_start, m_end - m_start);
}

std::size_t Connection::receiveInto(std::size_t offset, std::size_t max, int timeoutMs) {
    if (timeoutMs > 0) {
        auto ready = m_socket.waitReadable(timeoutMs);
        if (!ready) fail(ready.error());
        if (!*ready) throw EIdReadTimeout(kMsgReadTimeout);
    }
    auto n = m_socket.receive(std::span<std::byte>(m_buf).subspan(offset, max));
    if (!n) fail(n.error());
    if (*n == 0) m_peerClosed = true;
    return *n;
}

bool Connection::receiveMore(int timeoutMs) {
    if (m_peerClosed) return false;
    if (m_start == m_end) {
        m_start = m_end = 0;
    } else if (m_end == m_buf.size()) {
        std::memmove(m_buf.data(), m_buf.data() + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
    }
    // The readers take a line as soon as it is complete and refuse longer ones, so the
    // buffer always has room when they ask for more.
    m_end += receiveInto(m_end, m_buf.size() - m_end, timeoutMs);
    return !m_peerClosed;
}

void Connection::fillBlock(std::size_t size, int timeoutMs) {
    m_start = m_end = 0;
    while (m_end < size && !m_peerClosed) m_end += receiveInto(m_end, size - m_end, timeoutMs);
}

bool Connection::readableWithin(int timeoutMs) {
    if (m_start != m_end) return true;
    if (m_peerClosed || !m_socket.isOpen()) return false;
    auto r = m_socket.waitReadable(timeoutMs);
    if (!r) fail(r.error());
    return *r;
}

}  // namespace net
