#include "db/tcp_connect.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "host/tcp_connect.h"

namespace db {

namespace {

using Outcome = core::Result<host::Socket, host::SocketError>;

// The error number the reason line reports for a name that does not resolve: the message
// names WSAGetLastError, so it is the Windows resolver's "host not found".
constexpr int kHostNotFound = 11001;

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

Outcome openByName(const std::string& name, std::uint16_t port) {
    return host::connectByName(name, port, host::AddressFamily::IPv4);
}

}  // namespace

core::Result<host::Socket, MySqlError> connectTcp(std::string_view hostName, std::uint16_t port,
                                                  Deadline deadline, TcpOpener open) {
    const std::string name(hostName);
    if (!open) open = &openByName;
    std::optional<Outcome> outcome;
    if (!hasLimit(deadline)) {
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
        if (!pending->done.wait_until(lock, deadline, [&] { return pending->outcome.has_value(); }))
            return core::fail(connectTimedOut(name));
        outcome = std::move(pending->outcome);
    }
    if (!*outcome) return core::fail(connectError(name, reasonFor(outcome->error())));
    return std::move(*outcome).value();
}

}  // namespace db
