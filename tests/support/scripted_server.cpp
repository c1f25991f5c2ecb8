#include "tests/support/scripted_server.h"

#include <chrono>
#include <stdexcept>

namespace testsupport {

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
        play(*s, m_scripts[i]);
        s->close();
        std::lock_guard lock(m_mutex);
        ++m_finished;
        m_cv.notify_all();
    }
}

void ScriptedServer::play(host::Socket& s, const ServerScript& script) {
    std::string pending;
    char buf[4096];
    auto* bytes = reinterpret_cast<std::byte*>(buf);
    for (const ServerStep& step : script) {
        switch (step.kind) {
            case ServerStep::Kind::ReadRequest: {
                // A GET has no body: the request ends at its empty line.
                std::size_t end;
                while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
                    auto n = s.receive({bytes, sizeof buf});
                    if (!n || *n == 0) return;
                    pending.append(buf, *n);
                }
                std::lock_guard lock(m_mutex);
                m_requests.push_back(pending.substr(0, end + 4));
                pending.erase(0, end + 4);
                break;
            }
            case ServerStep::Kind::Send:
                if (!s.sendAll(
                        {reinterpret_cast<const std::byte*>(step.bytes.data()), step.bytes.size()}))
                    return;
                break;
            case ServerStep::Kind::Pause:
                std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
                break;
            case ServerStep::Kind::ShutdownSend:
                s.shutdownSend();
                break;
            case ServerStep::Kind::Close:
                s.close();
                return;
            case ServerStep::Kind::WaitPeerClose:
                for (;;) {
                    auto n = s.receive({bytes, sizeof buf});
                    if (!n || *n == 0) break;
                }
                break;
        }
    }
}

}  // namespace testsupport
