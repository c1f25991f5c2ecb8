#include "tests/support/fake_mysql_server.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace testsupport {

std::string mysqlPacket(std::uint8_t sequence, std::string_view payload) {
    std::string out;
    out += static_cast<char>(payload.size() & 0xFF);
    out += static_cast<char>((payload.size() >> 8) & 0xFF);
    out += static_cast<char>((payload.size() >> 16) & 0xFF);
    out += static_cast<char>(sequence);
    out += payload;
    return out;
}

FakeMySqlServer::FakeMySqlServer(std::vector<FakeStep> steps) {
    auto l = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    if (!l) throw std::runtime_error("fake server cannot listen: " + l.error().text);
    m_listener = std::move(*l);
    m_port = m_listener.port();
    m_thread = std::thread([this, s = std::move(steps)]() mutable { run(std::move(s)); });
}

FakeMySqlServer::~FakeMySqlServer() {
    join();
}

void FakeMySqlServer::join() {
    if (m_thread.joinable()) m_thread.join();
}

std::vector<FakeMySqlServer::Received> FakeMySqlServer::received() {
    std::lock_guard lock(m_mutex);
    return m_received;
}

namespace {

bool receiveExactly(host::Socket& s, std::string& out, std::size_t n) {
    out.resize(n);
    std::size_t have = 0;
    while (have < n) {
        auto got = s.receive(std::as_writable_bytes(std::span(out.data() + have, n - have)));
        if (!got || *got == 0) return false;
        have += *got;
    }
    return true;
}

}  // namespace

void FakeMySqlServer::run(std::vector<FakeStep> steps) {
    auto accepted = m_listener.accept();
    if (!accepted) return;
    m_accepted.store(true);
    host::Socket s = std::move(*accepted);
    (void)s.setReceiveTimeout(60000);  // a 16 MiB packet under ThreadSanitizer takes 15 s
    for (const FakeStep& step : steps) {
        switch (step.kind) {
            case FakeStep::Send:
                if (!s.sendAll(std::as_bytes(std::span(step.bytes.data(), step.bytes.size()))))
                    return;
                break;
            case FakeStep::SendInPieces: {
                std::uint32_t state = 12345;
                for (std::size_t at = 0; at < step.bytes.size();) {
                    state = state * 1103515245u + 12345u;
                    const std::size_t n =
                        std::min<std::size_t>(1 + (state >> 16) % 64, step.bytes.size() - at);
                    if (!s.sendAll(std::as_bytes(std::span(step.bytes.data() + at, n)))) return;
                    at += n;
                    if ((state >> 8) % 4 == 0)
                        std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                break;
            }
            case FakeStep::Receive: {
                std::string header, payload;
                if (!receiveExactly(s, header, 4)) return;
                const std::size_t n = static_cast<unsigned char>(header[0]) |
                                      (static_cast<unsigned char>(header[1]) << 8) |
                                      (static_cast<unsigned char>(header[2]) << 16);
                if (!receiveExactly(s, payload, n)) return;
                std::lock_guard lock(m_mutex);
                m_received.push_back({static_cast<std::uint8_t>(header[3]), std::move(payload)});
                break;
            }
            case FakeStep::Close:
                s.shutdownBoth();
                s.close();
                return;
        }
    }
    // After the script, wait for the client to finish (it may send quit) before closing.
    std::string rest;
    (void)receiveExactly(s, rest, 1 << 20);
}

}  // namespace testsupport
