// Windows Sockets 2. Errors carry WSAGetLastError's number and the short text Microsoft gives
// it in the list of Windows Sockets error codes ("Connection refused."), the text the client
// has always shown.
#include "host/platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace host {

namespace {

// WSAStartup once for the process, before the first socket call; WSACleanup is left to the
// process's end.
void startWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

SocketError lastError(SocketOp op) {
    const int e = WSAGetLastError();
    return SocketError{op, e, systemErrorText(e)};
}

SOCKET sock(NativeHandle h) {
    return static_cast<SOCKET>(h);
}

NativeHandle handleOf(SOCKET s) {
    return s == INVALID_SOCKET ? kNoHandle : static_cast<NativeHandle>(s);
}

core::Result<void, SocketError> setOpt(NativeHandle h, int level, int name, int value) {
    const DWORD v = static_cast<DWORD>(value);
    if (::setsockopt(sock(h), level, name, reinterpret_cast<const char*>(&v), sizeof v) != 0)
        return core::fail(lastError(SocketOp::Option));
    return core::Ok{};
}

bool toSockaddr(const SocketAddress& address, sockaddr_storage& ss, int& len) {
    ss = {};
    if (address.family == AddressFamily::IPv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(address.port);
        len = sizeof(sockaddr_in6);
        return InetPtonA(AF_INET6, address.numeric.c_str(), &a->sin6_addr) == 1;
    }
    auto* a = reinterpret_cast<sockaddr_in*>(&ss);
    a->sin_family = AF_INET;
    a->sin_port = htons(address.port);
    len = sizeof(sockaddr_in);
    return InetPtonA(AF_INET, address.numeric.c_str(), &a->sin_addr) == 1;
}

struct ErrorText {
    int code;
    const char* text;
};

// Microsoft, "Windows Sockets Error Codes": each code's short name.
constexpr ErrorText kTexts[] = {
    {WSAEINTR, "Interrupted function call."},
    {WSAEBADF, "File handle is not valid."},
    {WSAEACCES, "Permission denied."},
    {WSAEFAULT, "Bad address."},
    {WSAEINVAL, "Invalid argument."},
    {WSAEMFILE, "Too many open files."},
    {WSAEWOULDBLOCK, "Resource temporarily unavailable."},
    {WSAEINPROGRESS, "Operation now in progress."},
    {WSAEALREADY, "Operation already in progress."},
    {WSAENOTSOCK, "Socket operation on nonsocket."},
    {WSAEDESTADDRREQ, "Destination address required."},
    {WSAEMSGSIZE, "Message too long."},
    {WSAEPROTOTYPE, "Protocol wrong type for socket."},
    {WSAENOPROTOOPT, "Bad protocol option."},
    {WSAEPROTONOSUPPORT, "Protocol not supported."},
    {WSAESOCKTNOSUPPORT, "Socket type not supported."},
    {WSAEOPNOTSUPP, "Operation not supported."},
    {WSAEPFNOSUPPORT, "Protocol family not supported."},
    {WSAEAFNOSUPPORT, "Address family not supported by protocol family."},
    {WSAEADDRINUSE, "Address already in use."},
    {WSAEADDRNOTAVAIL, "Cannot assign requested address."},
    {WSAENETDOWN, "Network is down."},
    {WSAENETUNREACH, "Network is unreachable."},
    {WSAENETRESET, "Network dropped connection on reset."},
    {WSAECONNABORTED, "Software caused connection abort."},
    {WSAECONNRESET, "Connection reset by peer."},
    {WSAENOBUFS, "No buffer space available."},
    {WSAEISCONN, "Socket is already connected."},
    {WSAENOTCONN, "Socket is not connected."},
    {WSAESHUTDOWN, "Cannot send after socket shutdown."},
    {WSAETOOMANYREFS, "Too many references."},
    {WSAETIMEDOUT, "Connection timed out."},
    {WSAECONNREFUSED, "Connection refused."},
    {WSAELOOP, "Cannot translate name."},
    {WSAENAMETOOLONG, "Name too long."},
    {WSAEHOSTDOWN, "Host is down."},
    {WSAEHOSTUNREACH, "No route to host."},
    {WSAENOTEMPTY, "Directory not empty."},
    {WSAEPROCLIM, "Too many processes."},
    {WSASYSNOTREADY, "Network subsystem is unavailable."},
    {WSAVERNOTSUPPORTED, "Winsock.dll version out of range."},
    {WSANOTINITIALISED, "Successful WSAStartup not yet performed."},
    {WSAEDISCON, "Graceful shutdown in progress."},
    {WSATYPE_NOT_FOUND, "Class type not found."},
    {WSAHOST_NOT_FOUND, "Host not found."},
    {WSATRY_AGAIN, "Nonauthoritative host not found."},
    {WSANO_RECOVERY, "This is a nonrecoverable error."},
    {WSANO_DATA, "Valid name, no data record of requested type."},
};

}  // namespace

std::string systemErrorText(int code) {
    for (const ErrorText& t : kTexts)
        if (t.code == code) return t.text;
    return "Unknown error #" + std::to_string(code) + ".";
}

core::Result<std::vector<SocketAddress>, SocketError> resolve(std::string_view host,
                                                              std::uint16_t port,
                                                              AddressFamily family) {
    startWinsock();
    addrinfo hints{};
    hints.ai_family = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const std::string name(host);
    // getaddrinfo gives a Windows Sockets error number (EAI_NONAME is WSAHOST_NOT_FOUND).
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (rc != 0) return core::fail(SocketError{SocketOp::Resolve, rc, systemErrorText(rc)});
    std::vector<SocketAddress> out;
    for (addrinfo* a = list; a; a = a->ai_next) {
        char buf[INET6_ADDRSTRLEN] = {};
        const void* src =
            a->ai_family == AF_INET6
                ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr)
                : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr);
        if (InetNtopA(a->ai_family, src, buf, sizeof buf))
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
    startWinsock();
    sockaddr_storage ss{};
    int len = 0;
    if (!toSockaddr(address, ss, len))
        return core::fail(SocketError{SocketOp::Connect, WSAEINVAL, systemErrorText(WSAEINVAL)});
    const SOCKET s = ::socket(ss.ss_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return core::fail(lastError(SocketOp::Create));
    Socket out(handleOf(s));
    // Not inherited by the programs RunAndWait starts.
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    if (::connect(s, reinterpret_cast<sockaddr*>(&ss), len) != 0)
        return core::fail(lastError(SocketOp::Connect));
    return out;
}

core::Result<void, SocketError> Socket::sendAll(std::span<const std::byte> data) {
    while (!data.empty()) {
        const int want = static_cast<int>(std::min<std::size_t>(data.size(), 1u << 30));
        const int n = ::send(sock(m_handle), reinterpret_cast<const char*>(data.data()), want, 0);
        if (n == SOCKET_ERROR) return core::fail(lastError(SocketOp::Send));
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return core::Ok{};
}

core::Result<std::size_t, SocketError> Socket::receive(std::span<std::byte> data) {
    const int want = static_cast<int>(std::min<std::size_t>(data.size(), 1u << 30));
    const int n = ::recv(sock(m_handle), reinterpret_cast<char*>(data.data()), want, 0);
    if (n == SOCKET_ERROR) return core::fail(lastError(SocketOp::Receive));
    return static_cast<std::size_t>(n);
}

core::Result<bool, SocketError> Socket::waitReadable(int timeoutMs) {
    WSAPOLLFD p{};
    p.fd = sock(m_handle);
    p.events = POLLRDNORM;
    const int rc = WSAPoll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (rc == SOCKET_ERROR) return core::fail(lastError(SocketOp::Wait));
    return rc > 0;
}

core::Result<void, SocketError> Socket::setNoDelay(bool on) {
    return setOpt(m_handle, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0);
}

core::Result<void, SocketError> Socket::setKeepAlive(bool on) {
    return setOpt(m_handle, SOL_SOCKET, SO_KEEPALIVE, on ? 1 : 0);
}

// SO_RCVTIMEO takes a DWORD of milliseconds on Windows.
core::Result<void, SocketError> Socket::setReceiveTimeout(int milliseconds) {
    return setOpt(m_handle, SOL_SOCKET, SO_RCVTIMEO, milliseconds);
}

void Socket::shutdownBoth() {
    if (m_handle != kNoHandle) ::shutdown(sock(m_handle), SD_BOTH);
}

void Socket::shutdownSend() {
    if (m_handle != kNoHandle) ::shutdown(sock(m_handle), SD_SEND);
}

void Socket::close() {
    if (m_handle != kNoHandle) {
        ::closesocket(sock(m_handle));
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
    startWinsock();
    sockaddr_storage ss{};
    int len = 0;
    if (address.family != AddressFamily::IPv4 || !toSockaddr(address, ss, len))
        return core::fail(SocketError{SocketOp::Create, WSAEINVAL, systemErrorText(WSAEINVAL)});
    Listener l;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return core::fail(lastError(SocketOp::Create));
    l.m_handle = handleOf(s);
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    // No SO_REUSEADDR: on Windows it lets another socket take a port in use.
    if (::bind(s, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(s, 16) != 0)
        return core::fail(lastError(SocketOp::Create));
    sockaddr_in bound{};
    int boundLen = sizeof bound;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &boundLen) != 0)
        return core::fail(lastError(SocketOp::Create));
    l.m_port = ntohs(bound.sin_port);
    return l;
}

core::Result<Socket, SocketError> Listener::accept() {
    const SOCKET s = ::accept(sock(m_handle), nullptr, nullptr);
    if (s == INVALID_SOCKET) return core::fail(lastError(SocketOp::Connect));
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return Socket(handleOf(s));
}

// A blocked accept() returns when its socket is closed; shutdown() of a listening socket does
// not wake it on Windows.
void Listener::shutdown() {
    close();
}

void Listener::close() {
    if (m_handle != kNoHandle) {
        ::closesocket(sock(m_handle));
        m_handle = kNoHandle;
    }
}

}  // namespace host
