#include "db/tcp_connect.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace db {

namespace {

using Outcome = core::Result<host::Socket, host::SocketError>;

// The error number the reason line reports for a name that does not resolve: the message
// names WSAGetLastError, so it is the Windows resolver's "host not found".
constexpr int kHostNotFound = 11001;

}  // namespace

Outcome resolveAndConnect(const std::string& name, std::uint16_t port) {
    std::vector<host::SocketAddress> addresses;
    if (isDottedAddress(name)) {
        addresses.push_back({host::AddressFamily::IPv4, name, port});
    } else {
        auto r = host::resolve(name, port, host::AddressFamily::IPv4);
        if (!r) return core::fail(r.error());
        addresses = std::move(*r);
        if (addresses.empty()) return core::fail(host::SocketError{host::SocketOp::Resolve, 0, ""});
    }
    std::optional<host::SocketError> last;
    for (const auto& a : addresses) {
        auto s = host::Socket::connect(a);
        if (s) return s;
        last = s.error();
    }
    return core::fail(*last);
}

namespace {

std::string reasonFor(const host::SocketError& e) {
    // Resolver codes are EAI_* values, not socket errors.
    return socketReason("connect", e.op == host::SocketOp::Resolve ? kHostNotFound : e.code);
}

// What the resolving thread and the waiting caller share; whichever leaves last frees it
// (and with it a socket that connected after the caller gave up).
struct Pending {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<Outcome> outcome;
};

}  // namespace

bool isDottedAddress(std::string_view text) {
    int parts = 0;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t start = i;
        unsigned value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + static_cast<unsigned>(text[i++] - '0');
        if (i == start || value > 255) return false;
        ++parts;
        if (i == text.size()) break;
        if (text[i] != '.' || parts == 4) return false;
        ++i;
    }
    return parts == 4;
}

core::Result<host::Socket, MySqlError> connectTcp(std::string_view hostName, std::uint16_t port,
                                                  int timeoutSeconds) {
    return connectTcp(hostName, port, timeoutSeconds, &resolveAndConnect);
}

core::Result<host::Socket, MySqlError> connectTcp(std::string_view hostName, std::uint16_t port,
                                                  int timeoutSeconds, TcpOpener open) {
    const std::string name(hostName);
    std::optional<Outcome> outcome;
    if (timeoutSeconds <= 0) {
        outcome = open(name, port);
    } else {
        auto pending = std::make_shared<Pending>();
        std::thread([pending, name, port, open = std::move(open)] {
            Outcome r = open(name, port);
            std::lock_guard lock(pending->mutex);
            pending->outcome.emplace(std::move(r));
            pending->done.notify_all();
        }).detach();
        std::unique_lock lock(pending->mutex);
        if (!pending->done.wait_for(lock, std::chrono::seconds(timeoutSeconds),
                                    [&] { return pending->outcome.has_value(); }))
            return core::fail(connectError(name, "Connection timed out"));
        outcome = std::move(pending->outcome);
    }
    if (!*outcome) return core::fail(connectError(name, reasonFor(outcome->error())));
    return std::move(*outcome).value();
}

}  // namespace db
