// The scripted loopback peer of the protocol tests: it plays exact byte sequences for what a
// real server cannot be made to show (HTTP heads cut anywhere, old MySQL protocols, wrong
// sequence numbers). Each accepted connection runs the next script of steps; what it reads is
// recorded (HTTP requests byte for byte, MySQL packets with their sequence numbers).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/platform/socket.h"

namespace testsupport {

struct ServerStep {
    enum class Kind {
        ReadRequest,    // an HTTP request: up to and including its empty line
        ReceivePacket,  // one MySQL packet: 4-byte header and its payload
        Send,
        SendInPieces,  // `bytes` in pieces of 1 to `maxPiece` bytes (PieceSizes), `ms` after each
        Pause,
        ShutdownSend,
        Close,
        WaitPeerClose,
    };
    Kind kind;
    std::string bytes;
    int ms = 0;
    std::size_t maxPiece = 64;
};

inline ServerStep readRequest() {
    return {ServerStep::Kind::ReadRequest, {}, 0};
}
inline ServerStep receivePacket() {
    return {ServerStep::Kind::ReceivePacket, {}, 0};
}
inline ServerStep send(std::string bytes) {
    return {ServerStep::Kind::Send, std::move(bytes), 0};
}
// Each piece is sent on its own, so the client sees headers and payloads cut anywhere; with
// `pauseMs` the peer drips its bytes.
inline ServerStep sendInPieces(std::string bytes, int pauseMs = 0) {
    return {ServerStep::Kind::SendInPieces, std::move(bytes), pauseMs};
}
// One byte at a time, `ms` after each: a peer that keeps a connect busy for ever.
inline ServerStep drip(std::string bytes, int ms) {
    return {ServerStep::Kind::SendInPieces, std::move(bytes), ms, 1};
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

// One framed MySQL packet: 3-byte little-endian length, sequence number, payload.
std::string mysqlPacket(std::uint8_t sequence, std::string_view payload);

class ScriptedServer {
  public:
    // The i-th connection accepted plays scripts[i]; a connection closes after its script.
    explicit ScriptedServer(std::vector<ServerScript> scripts);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::uint16_t port() const { return m_port; }
    std::string url(const std::string& path) const;
    // The HTTP requests read so far, exactly as received, in order.
    std::vector<std::string> requests() const;
    struct Packet {
        std::uint8_t sequence;
        std::string payload;
    };
    // The MySQL packets received so far.
    std::vector<Packet> packets() const;
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
    std::vector<Packet> m_packets;
    int m_accepted = 0;
    int m_finished = 0;
    std::thread m_thread;
};

}  // namespace testsupport
