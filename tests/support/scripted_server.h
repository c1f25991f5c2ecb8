// A loopback HTTP peer that plays exact byte sequences: each accepted connection runs the next
// script of steps, and every request it reads is recorded byte for byte.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/platform.h"

namespace testsupport {

struct ServerStep {
    enum class Kind { ReadRequest, Send, Pause, ShutdownSend, Close, WaitPeerClose };
    Kind kind;
    std::string bytes;  // for Send
    int ms = 0;         // for Pause
};

inline ServerStep readRequest() {
    return {ServerStep::Kind::ReadRequest, {}, 0};
}
inline ServerStep send(std::string bytes) {
    return {ServerStep::Kind::Send, std::move(bytes), 0};
}
inline ServerStep pause(int ms) {
    return {ServerStep::Kind::Pause, {}, ms};
}
// Orderly close of the server's sending side; the client reads the end of the stream.
inline ServerStep shutdownSend() {
    return {ServerStep::Kind::ShutdownSend, {}, 0};
}
inline ServerStep closeConnection() {
    return {ServerStep::Kind::Close, {}, 0};
}
// Reads (and drops) until the client closes its side.
inline ServerStep waitPeerClose() {
    return {ServerStep::Kind::WaitPeerClose, {}, 0};
}

using ServerScript = std::vector<ServerStep>;

class ScriptedServer {
  public:
    // The i-th connection accepted plays scripts[i]; a connection closes after its script.
    explicit ScriptedServer(std::vector<ServerScript> scripts);
    ~ScriptedServer();

    std::uint16_t port() const { return m_port; }
    std::string url(const std::string& path) const;
    // The requests read so far, exactly as received, in order.
    std::vector<std::string> requests() const;
    int connectionsAccepted() const;
    // Blocks until `n` connections have finished their scripts (or 10 s passed).
    bool waitFinished(int n) const;

  private:
    void run();
    void play(host::Socket& s, const ServerScript& script);

    host::Listener m_listener;
    std::uint16_t m_port = 0;
    std::vector<ServerScript> m_scripts;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::vector<std::string> m_requests;
    int m_accepted = 0;
    int m_finished = 0;
    std::thread m_thread;
};

}  // namespace testsupport
