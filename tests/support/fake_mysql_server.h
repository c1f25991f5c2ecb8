// A canned-byte MySQL peer on 127.0.0.1 for what a real server cannot be made to show (old
// protocol versions, wrong sequence numbers, truncated packets). It accepts one connection
// and plays its script on a thread: send these bytes, receive one packet, close.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/platform/socket.h"

namespace testsupport {

struct FakeStep {
    enum Kind { Send, SendInPieces, Receive, Close } kind;
    std::string bytes;  // Send, SendInPieces: raw bytes (headers included)
};

inline FakeStep sendBytes(std::string bytes) {
    return {FakeStep::Send, std::move(bytes)};
}
// The bytes in pieces of 1 to 64 bytes (a fixed pseudo-random sequence), each sent on its own,
// so the client sees headers and payloads cut anywhere.
inline FakeStep sendInPieces(std::string bytes) {
    return {FakeStep::SendInPieces, std::move(bytes)};
}
inline FakeStep receivePacket() {
    return {FakeStep::Receive, {}};
}
inline FakeStep closeConnection() {
    return {FakeStep::Close, {}};
}

// One framed packet: 3-byte little-endian length, sequence number, payload.
std::string mysqlPacket(std::uint8_t sequence, std::string_view payload);

class FakeMySqlServer {
  public:
    explicit FakeMySqlServer(std::vector<FakeStep> steps);
    ~FakeMySqlServer();
    FakeMySqlServer(const FakeMySqlServer&) = delete;
    FakeMySqlServer& operator=(const FakeMySqlServer&) = delete;

    std::uint16_t port() const { return m_port; }
    // The payloads of the packets received so far, with their sequence numbers.
    struct Received {
        std::uint8_t sequence;
        std::string payload;
    };
    std::vector<Received> received();
    // Waits for the script to finish.
    void join();

  private:
    void run(std::vector<FakeStep> steps);

    host::Listener m_listener;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_accepted{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Received> m_received;
};

}  // namespace testsupport
