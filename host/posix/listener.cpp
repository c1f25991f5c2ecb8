#include "host/platform/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

#include <string>

namespace host {

namespace {
SocketError lastError(SocketOp op) {
    int e = errno;
    return SocketError{op, e, systemErrorText(e)};
}
}  // namespace

Listener::~Listener() {
    close();
}

Listener::Listener(Listener&& other) noexcept : m_fd(other.m_fd), m_port(other.m_port) {
    other.m_fd = -1;
}

Listener& Listener::operator=(Listener&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_port = other.m_port;
        other.m_fd = -1;
    }
    return *this;
}

core::Result<Listener, SocketError> Listener::listen(std::string_view address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (::inet_pton(AF_INET, std::string(address).c_str(), &a.sin_addr) != 1)
        return core::fail(SocketError{SocketOp::Create, EINVAL, systemErrorText(EINVAL)});
    Listener l;
    l.m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (l.m_fd < 0) return core::fail(lastError(SocketOp::Create));
    int one = 1;
    ::setsockopt(l.m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(l.m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(l.m_fd, 8) != 0)
        return core::fail(lastError(SocketOp::Create));
    socklen_t len = sizeof a;
    if (::getsockname(l.m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return core::fail(lastError(SocketOp::Create));
    l.m_port = ntohs(a.sin_port);
    return l;
}

core::Result<Socket, SocketError> Listener::accept(int timeoutMs) {
    pollfd p{m_fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) return core::fail(lastError(SocketOp::Wait));
    if (rc == 0)
        return core::fail(SocketError{SocketOp::Wait, ETIMEDOUT, systemErrorText(ETIMEDOUT)});
    int fd;
    do {
        fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return core::fail(lastError(SocketOp::Connect));
    return Socket(fd);
}

void Listener::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

}  // namespace host
