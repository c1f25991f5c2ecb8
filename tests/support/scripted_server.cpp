#include "tests/support/scripted_server.h"

#include <chrono>
#include <stdexcept>

#include "tests/support/pieces.h"

namespace testsupport {

namespace {

// A client that hangs must not hang the test's server thread with it.
constexpr int kReceiveTimeoutMs = 60000;  // a 16 MiB packet under ThreadSanitizer takes 15 s

// Receives into `pending` until it holds at least `n` bytes; false when the peer closed.
bool receiveAtLeast(host::Socket& s, std::string& pending, std::size_t n) {
    char buf[4096];
    while (pending.size() < n) {
        auto got = s.receive({reinterpret_cast<std::byte*>(buf), sizeof buf});
        if (!got || *got == 0) return false;
        pending.append(buf, *got);
    }
    return true;
}

bool sendText(host::Socket& s, std::string_view bytes) {
    return s.sendAll({reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()}).ok();
}

}  // namespace

std::string mysqlPacket(std::uint8_t sequence, std::string_view payload) {
    std::string out;
    out += static_cast<char>(payload.size() & 0xFF);
    out += static_cast<char>((payload.size() >> 8) & 0xFF);
    out += static_cast<char>((payload.size() >> 16) & 0xFF);
    out += static_cast<char>(sequence);
    out += payload;
    return out;
}

ScriptedServer::ScriptedServer(std::vector<ServerScript> scripts) : m_scripts(std::move(scripts)) {
    auto l = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    if (!l) throw std::runtime_error("cannot listen: " + l.error().text);
    m_listener = std::move(*l);
    m_port = m_listener.port();
    m_thread = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
    m_listener.shutdown();
    m_thread.join();
}

std::string ScriptedServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> ScriptedServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<ScriptedServer::Packet> ScriptedServer::packets() const {
    std::lock_guard lock(m_mutex);
    return m_packets;
}

int ScriptedServer::connectionsAccepted() const {
    std::lock_guard lock(m_mutex);
    return m_accepted;
}

bool ScriptedServer::waitFinished(int n) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::seconds(10), [&] { return m_finished >= n; });
}

void ScriptedServer::run() {
    for (std::size_t i = 0; i < m_scripts.size(); ++i) {
        auto s = m_listener.accept();
        if (!s) return;
        {
            std::lock_guard lock(m_mutex);
            ++m_accepted;
        }
        (void)s->setReceiveTimeout(kReceiveTimeoutMs);
        play(*s, m_scripts[i]);
        s->close();
        std::lock_guard lock(m_mutex);
        ++m_finished;
        m_cv.notify_all();
    }
}

void ScriptedServer::play(host::Socket& s, const ServerScript& script) {
    std::string pending;  // received and not yet taken by a step
    for (const ServerStep& step : script) {
        switch (step.kind) {
            case ServerStep::Kind::ReadRequest: {
                // A GET has no body: the request ends at its empty line.
                std::size_t end;
                while ((end = pending.find("\r\n\r\n")) == std::string::npos)
                    if (!receiveAtLeast(s, pending, pending.size() + 1)) return;
                std::lock_guard lock(m_mutex);
                m_requests.push_back(pending.substr(0, end + 4));
                pending.erase(0, end + 4);
                break;
            }
            case ServerStep::Kind::ReceivePacket: {
                if (!receiveAtLeast(s, pending, 4)) return;
                const std::size_t n = static_cast<unsigned char>(pending[0]) |
                                      (static_cast<unsigned char>(pending[1]) << 8) |
                                      (static_cast<unsigned char>(pending[2]) << 16);
                if (!receiveAtLeast(s, pending, 4 + n)) return;
                std::lock_guard lock(m_mutex);
                m_packets.push_back({static_cast<std::uint8_t>(pending[3]), pending.substr(4, n)});
                pending.erase(0, 4 + n);
                break;
            }
            case ServerStep::Kind::Send:
                if (!sendText(s, step.bytes)) return;
                break;
            case ServerStep::Kind::SendInPieces: {
                std::size_t n = 0;
                for (std::string_view piece : cutIntoPieces(step.bytes, step.maxPiece, 12345)) {
                    if (!sendText(s, piece)) return;
                    // Without a pause of its own, a short one now and then keeps the pieces
                    // from being joined on the way.
                    if (step.ms > 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
                    else if (++n % 4 == 0)
                        std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                break;
            }
            case ServerStep::Kind::Pause:
                std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
                break;
            case ServerStep::Kind::ShutdownSend:
                s.shutdownSend();
                break;
            case ServerStep::Kind::Close:
                s.shutdownBoth();
                s.close();
                return;
            case ServerStep::Kind::WaitPeerClose: {
                std::string rest;
                (void)receiveAtLeast(s, rest, std::string::npos);
                break;
            }
        }
    }
}

}  // namespace testsupport
