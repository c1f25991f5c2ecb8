// Blocking stream sockets: IPv4 TCP (IPv6 for bracketed literals), name resolution, waiting
// for data with a time-out, send, receive, shutdown, close. Every failure carries the system's
// socket error number and its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "host/platform/native_handle.h"

namespace host {

enum class SocketOp { Resolve, Create, Connect, Send, Receive, Wait, Option };

struct SocketError {
    SocketOp op = SocketOp::Connect;
    // The system's socket error number, as the messages above print it: errno on POSIX (the
    // resolver's EAI_* code for SocketOp::Resolve), WSAGetLastError on Windows. Only shown,
    // never compared with a system's constants above the platform layer.
    int code = 0;
    std::string text;  // the system's text for `code`
};

enum class AddressFamily { IPv4, IPv6 };

struct SocketAddress {
    AddressFamily family = AddressFamily::IPv4;
    std::string numeric;  // "127.0.0.1" or "::1"
    std::uint16_t port = 0;
};

// Resolves a host name (or numeric address) to addresses of the given family, in the
// resolver's order. Blocking; callers that need a time-out run it on a thread of their own.
core::Result<std::vector<SocketAddress>, SocketError> resolve(std::string_view host,
                                                              std::uint16_t port,
                                                              AddressFamily family);

class Socket {
  public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Creates a TCP socket and connects it, blocking, with the operating system's own time-out.
    static core::Result<Socket, SocketError> connect(const SocketAddress& address);

    bool isOpen() const { return m_handle != kNoHandle; }

    // Sends all of `data` (looping over partial writes); fails on the first error.
    core::Result<void, SocketError> sendAll(std::span<const std::byte> data);
    // Receives up to data.size() bytes; 0 means the peer closed the connection in order.
    core::Result<std::size_t, SocketError> receive(std::span<std::byte> data);
    // Waits until data (or an orderly close) can be read: true when readable, false on time-out.
    // timeoutMs 0 polls, a negative value waits without limit.
    core::Result<bool, SocketError> waitReadable(int timeoutMs);

    core::Result<void, SocketError> setNoDelay(bool on);
    core::Result<void, SocketError> setKeepAlive(bool on);
    // Receive time-out for blocking reads; 0 means none.
    core::Result<void, SocketError> setReceiveTimeout(int milliseconds);

    void shutdownBoth();
    // Ends the sending side only (the peer reads an orderly close); receiving goes on.
    void shutdownSend();
    void close();

  private:
    friend class Listener;
    explicit Socket(NativeHandle handle) : m_handle(handle) {}
    NativeHandle m_handle = kNoHandle;
};

// A listening TCP socket, for the servers of tests and tools (loopback peers).
class Listener {
  public:
    Listener() = default;
    ~Listener();
    Listener(Listener&& other) noexcept;
    Listener& operator=(Listener&& other) noexcept;
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds to the numeric address and port (0: the system picks a free one) and listens.
    static core::Result<Listener, SocketError> open(const SocketAddress& address);
    std::uint16_t port() const { return m_port; }
    // Waits for the next connection.
    core::Result<Socket, SocketError> accept();
    // Makes a blocked accept() return with an error (used to stop a server thread).
    void shutdown();
    void close();

  private:
    NativeHandle m_handle = kNoHandle;
    std::uint16_t m_port = 0;
};

// The system's text for a socket error number ("Connection refused").
std::string systemErrorText(int code);

}  // namespace host
