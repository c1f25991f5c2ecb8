#include "host/platform/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace host {

namespace {

SocketError lastError(SocketOp op) {
    int e = errno;
    return SocketError{op, e, systemErrorText(e)};
}

int fd(NativeHandle h) {
    return static_cast<int>(h);
}

core::Result<void, SocketError> setOpt(NativeHandle h, int level, int name, int value) {
    if (::setsockopt(fd(h), level, name, &value, sizeof value) != 0)
        return core::fail(lastError(SocketOp::Option));
    return core::Ok{};
}

}  // namespace

std::string systemErrorText(int code) {
    return std::strerror(code);
}

core::Result<std::vector<SocketAddress>, SocketError> resolve(std::string_view host,
                                                              std::uint16_t port,
                                                              AddressFamily family) {
    addrinfo hints{};
    hints.ai_family = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    std::string name(host);
    int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (rc != 0) {
        int code = rc == EAI_SYSTEM ? errno : rc;
        std::string text = rc == EAI_SYSTEM ? systemErrorText(errno) : ::gai_strerror(rc);
        return core::fail(SocketError{SocketOp::Resolve, code, text});
    }
    std::vector<SocketAddress> out;
    for (addrinfo* a = list; a; a = a->ai_next) {
        char buf[INET6_ADDRSTRLEN] = {};
        const void* src =
            a->ai_family == AF_INET6
                ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr)
                : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr);
        if (::inet_ntop(a->ai_family, src, buf, sizeof buf))
            out.push_back(
                {a->ai_family == AF_INET6 ? AddressFamily::IPv6 : AddressFamily::IPv4, buf, port});
    }
    ::freeaddrinfo(list);
    return out;
}

Socket::~Socket() {
    close();
}

Socket::Socket(Socket&& other) noexcept : m_handle(other.m_handle) {
    other.m_handle = kNoHandle;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        other.m_handle = kNoHandle;
    }
    return *this;
}

core::Result<Socket, SocketError> Socket::connect(const SocketAddress& address) {
    sockaddr_storage ss{};
    socklen_t len = 0;
    if (address.family == AddressFamily::IPv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(address.port);
        if (::inet_pton(AF_INET6, address.numeric.c_str(), &a->sin6_addr) != 1)
            return core::fail(SocketError{SocketOp::Connect, EINVAL, systemErrorText(EINVAL)});
        len = sizeof(sockaddr_in6);
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&ss);
        a->sin_family = AF_INET;
        a->sin_port = htons(address.port);
        if (::inet_pton(AF_INET, address.numeric.c_str(), &a->sin_addr) != 1)
            return core::fail(SocketError{SocketOp::Connect, EINVAL, systemErrorText(EINVAL)});
        len = sizeof(sockaddr_in);
    }
    const int sock = ::socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (sock < 0) return core::fail(lastError(SocketOp::Create));
    Socket s(sock);
    int rc;
    do {
        rc = ::connect(sock, reinterpret_cast<sockaddr*>(&ss), len);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return core::fail(lastError(SocketOp::Connect));
    return s;
}

core::Result<void, SocketError> Socket::sendAll(std::span<const std::byte> data) {
    while (!data.empty()) {
        ssize_t n = ::send(fd(m_handle), data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return core::fail(lastError(SocketOp::Send));
        }
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return core::Ok{};
}

core::Result<std::size_t, SocketError> Socket::receive(std::span<std::byte> data) {
    for (;;) {
        ssize_t n = ::recv(fd(m_handle), data.data(), data.size(), 0);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno == EINTR) continue;
        return core::fail(lastError(SocketOp::Receive));
    }
}

core::Result<bool, SocketError> Socket::waitReadable(int timeoutMs) {
    pollfd p{fd(m_handle), POLLIN, 0};
    for (;;) {
        int rc = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (rc >= 0) return rc > 0;
        if (errno == EINTR) continue;
        return core::fail(lastError(SocketOp::Wait));
    }
}

core::Result<void, SocketError> Socket::setNoDelay(bool on) {
    return setOpt(m_handle, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0);
}

core::Result<void, SocketError> Socket::setKeepAlive(bool on) {
    return setOpt(m_handle, SOL_SOCKET, SO_KEEPALIVE, on ? 1 : 0);
}

core::Result<void, SocketError> Socket::setReceiveTimeout(int milliseconds) {
    timeval tv{milliseconds / 1000, (milliseconds % 1000) * 1000};
    if (::setsockopt(fd(m_handle), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0)
        return core::fail(lastError(SocketOp::Option));
    return core::Ok{};
}

void Socket::shutdownBoth() {
    if (m_handle != kNoHandle) ::shutdown(fd(m_handle), SHUT_RDWR);
}

void Socket::shutdownSend() {
    if (m_handle != kNoHandle) ::shutdown(fd(m_handle), SHUT_WR);
}

void Socket::close() {
    if (m_handle != kNoHandle) {
        ::close(fd(m_handle));
        m_handle = kNoHandle;
    }
}

Listener::~Listener() {
    close();
}

Listener::Listener(Listener&& other) noexcept : m_handle(other.m_handle), m_port(other.m_port) {
    other.m_handle = kNoHandle;
}

Listener& Listener::operator=(Listener&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        m_port = other.m_port;
        other.m_handle = kNoHandle;
    }
    return *this;
}

core::Result<Listener, SocketError> Listener::open(const SocketAddress& address) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(address.port);
    if (::inet_pton(AF_INET, address.numeric.c_str(), &a.sin_addr) != 1)
        return core::fail(SocketError{SocketOp::Create, EINVAL, systemErrorText(EINVAL)});
    Listener l;
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (s < 0) return core::fail(lastError(SocketOp::Create));
    l.m_handle = s;
    if (auto r = setOpt(l.m_handle, SOL_SOCKET, SO_REUSEADDR, 1); !r) return core::fail(r.error());
    if (::bind(fd(l.m_handle), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd(l.m_handle), 16) != 0)
        return core::fail(lastError(SocketOp::Create));
    socklen_t len = sizeof a;
    if (::getsockname(fd(l.m_handle), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return core::fail(lastError(SocketOp::Create));
    l.m_port = ntohs(a.sin_port);
    return l;
}

core::Result<Socket, SocketError> Listener::accept() {
    for (;;) {
        const int s = ::accept4(fd(m_handle), nullptr, nullptr, SOCK_CLOEXEC);
        if (s >= 0) return Socket(s);
        if (errno == EINTR) continue;
        return core::fail(lastError(SocketOp::Connect));
    }
}

void Listener::shutdown() {
    if (m_handle != kNoHandle) ::shutdown(fd(m_handle), SHUT_RDWR);
}

void Listener::close() {
    if (m_handle != kNoHandle) {
        ::close(fd(m_handle));
        m_handle = kNoHandle;
    }
}

}  // namespace host
