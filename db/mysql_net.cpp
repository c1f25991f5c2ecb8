#include "db/mysql_net.h"

#include <algorithm>
#include <cstring>

#include "db/mysql_protocol.h"

namespace db {

namespace {

constexpr std::size_t kHeader = 4;
constexpr std::size_t kInitialBuffer = 64 * 1024;

MySqlError lostConnection(const host::SocketError* e, std::string_view op) {
    MySqlError err = clientError(CR_SERVER_LOST);
    if (e) err.text += "\r\n" + socketReason(op, e->code);
    return err;
}

}  // namespace

core::Result<void, MySqlError> TMySqlNet::fill(std::size_t n) {
    if (m_end - m_begin >= n) return core::Ok{};
    if (m_in.size() - m_begin < n) {
        // Move the unread bytes to the front, and grow when even that is too small.
        if (m_end > m_begin) std::memmove(m_in.data(), m_in.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
        if (m_in.size() < n) m_in.resize(std::max({n, kInitialBuffer, m_in.size() * 2}));
    }
    while (m_end - m_begin < n) {
        if (hasLimit(m_deadline)) {
            const int left = millisecondsLeft(m_deadline);
            auto ready = left > 0 ? m_socket.waitReadable(left)
                                  : core::Result<bool, host::SocketError>(false);
            if (!ready) return core::fail(lostConnection(&ready.error(), "read"));
            if (!*ready) {
                m_deadlinePassed = true;
                return core::fail(lostConnection(nullptr, "read"));
            }
        }
        auto got = m_socket.receive(std::span(m_in).subspan(m_end));
        if (!got) return core::fail(lostConnection(&got.error(), "read"));
        if (*got == 0) return core::fail(lostConnection(nullptr, "read"));
        m_end += *got;
    }
    return core::Ok{};
}

core::Result<std::span<const std::byte>, MySqlError> TMySqlNet::readOne() {
    if (!m_socket.isOpen()) return core::fail(clientError(CR_SERVER_GONE_ERROR));
    if (auto r = fill(kHeader); !r) return core::fail(r.error());
    const auto* h = reinterpret_cast<const std::uint8_t*>(m_in.data() + m_begin);
    const std::size_t length = h[0] | (std::size_t{h[1]} << 8) | (std::size_t{h[2]} << 16);
    const std::uint8_t number = h[3];
    if (number != m_sequence) return core::fail(outOfOrderError(number, m_sequence));
    ++m_sequence;  // wraps from 255 to 0
    if (auto r = fill(kHeader + length); !r) return core::fail(r.error());
    std::span<const std::byte> payload(m_in.data() + m_begin + kHeader, length);
    m_begin += kHeader + length;
    return payload;
}

core::Result<std::span<const std::byte>, MySqlError> TMySqlNet::readPacket() {
    auto first = readOne();
    if (!first || first->size() < kMaxPacket) return first;
    // A payload of exactly the largest size continues in the next packet, until a shorter one.
    m_joined.assign(first->begin(), first->end());
    for (;;) {
        auto next = readOne();
        if (!next) return next;
        if (m_joined.size() + next->size() > kMaxAllowedPacket)
            return core::fail(clientError(CR_NET_PACKET_TOO_LARGE));
        m_joined.insert(m_joined.end(), next->begin(), next->end());
        if (next->size() < kMaxPacket) break;
    }
    return std::span<const std::byte>(m_joined);
}

void TMySqlNet::beginPacket() {
    m_out.assign(kHeader, std::byte{0});
}

void TMySqlNet::append(std::string_view bytes) {
    const auto* p = reinterpret_cast<const std::byte*>(bytes.data());
    m_out.insert(m_out.end(), p, p + bytes.size());
}

void TMySqlNet::append(std::uint8_t byte) {
    m_out.push_back(std::byte{byte});
}

core::Result<void, MySqlError> TMySqlNet::sendRaw(std::span<const std::byte> bytes) {
    if (!m_socket.isOpen()) return core::fail(clientError(CR_SERVER_GONE_ERROR));
    if (auto r = m_socket.sendAll(bytes); !r)
        return core::fail(lostConnection(&r.error(), "write"));
    return core::Ok{};
}

core::Result<void, MySqlError> TMySqlNet::sendPacket() {
    const std::size_t total = m_out.size() - kHeader;
    auto header = [this](std::byte* h, std::size_t length) {
        h[0] = std::byte(length & 0xFF);
        h[1] = std::byte((length >> 8) & 0xFF);
        h[2] = std::byte((length >> 16) & 0xFF);
        h[3] = std::byte(m_sequence++);
    };
    if (total < kMaxPacket) {
        header(m_out.data(), total);
        return sendRaw(m_out);
    }
    // Pieces of the largest size, each behind its own header; a payload that is an exact
    // multiple of the size ends with an empty packet.
    std::span<const std::byte> rest(m_out.data() + kHeader, total);
    for (;;) {
        const std::size_t piece = std::min(rest.size(), kMaxPacket);
        std::byte h[kHeader];
        header(h, piece);
        if (auto r = sendRaw(h); !r) return r;
        if (auto r = sendRaw(rest.first(piece)); !r) return r;
        rest = rest.subspan(piece);
        if (piece < kMaxPacket) return core::Ok{};
    }
}

core::Result<void, MySqlError> TMySqlNet::writePacket(std::string_view payload) {
    beginPacket();
    append(payload);
    return sendPacket();
}

core::Result<void, MySqlError> TMySqlNet::setReceiveTimeout(int seconds) {
    if (seconds == m_receiveTimeout) return core::Ok{};
    if (auto r = m_socket.setReceiveTimeout(seconds * 1000); !r)
        return core::fail(lostConnection(&r.error(), "read"));
    m_receiveTimeout = seconds;
    return core::Ok{};
}

void TMySqlNet::close() {
    m_socket.shutdownBoth();
    m_socket.close();
}

}  // namespace db
