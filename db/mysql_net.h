// TMySqlNet: MySQL packet framing on a socket. Sends whole packets from one buffer, reads
// through a receive buffer, joins payloads split at 16777215 bytes and checks sequence numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "db/client_errors.h"
#include "db/deadline.h"
#include "host/platform/socket.h"

namespace db {

class TMySqlNet {
  public:
    TMySqlNet() = default;
    explicit TMySqlNet(host::Socket socket) : m_socket(std::move(socket)) {}

    bool isOpen() const { return m_socket.isOpen(); }
    host::Socket& socket() { return m_socket; }

    // A new command: its first packet carries number 0.
    void resetSequence() { m_sequence = 0; }
    std::uint8_t sequence() const { return m_sequence; }

    // The next packet's payload, continuations joined. The view stays valid until the next
    // read. 1156 on a wrong sequence number, 2013 when the socket fails or closes, 2020 past
    // kMaxAllowedPacket.
    core::Result<std::span<const std::byte>, MySqlError> readPacket();

    // Building a packet: begin, append the payload, send. The header is filled in on sending;
    // payloads of 16777215 bytes or more go out as several packets.
    void beginPacket();
    void append(std::string_view bytes);
    void append(std::uint8_t byte);
    core::Result<void, MySqlError> sendPacket();
    // One packet with this payload.
    core::Result<void, MySqlError> writePacket(std::string_view payload);

    // Receive time-out in seconds for the following reads; 0 means none.
    core::Result<void, MySqlError> setReceiveTimeout(int seconds);
    // Reads wait at most until `deadline` (Deadline::max(): no bound but the receive time-out);
    // one that would wait longer fails with 2013 and deadlinePassed() becomes true.
    void setDeadline(Deadline deadline) { m_deadline = deadline; }
    bool deadlinePassed() const { return m_deadlinePassed; }

    void close();

  private:
    // Makes `n` unread bytes available in m_in from m_begin on.
    core::Result<void, MySqlError> fill(std::size_t n);
    core::Result<std::span<const std::byte>, MySqlError> readOne();
    core::Result<void, MySqlError> sendRaw(std::span<const std::byte> bytes);

    host::Socket m_socket;
    std::uint8_t m_sequence = 0;
    std::vector<std::byte> m_in;  // receive buffer: [m_begin, m_end) not yet consumed
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::vector<std::byte> m_joined;  // payloads of split packets, joined
    std::vector<std::byte> m_out;     // 4 header bytes, then the payload being built
    int m_receiveTimeout = -1;        // seconds currently set on the socket; -1 unknown
    Deadline m_deadline = Deadline::max();
    bool m_deadlinePassed = false;
};

}  // namespace db
