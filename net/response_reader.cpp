#include "net/response_reader.h"

#include <optional>

namespace net {

bool statusHasBody(int statusCode) {
    return !(statusCode >= 100 && statusCode < 200) && statusCode != 204 && statusCode != 304;
}

namespace {

// Drives the head parser and then the body decoder over a growing buffer of pieces.
class OneShot {
  public:
    core::Result<bool, HttpFailure> feed(std::span<const std::byte> piece) {
        m_buf.insert(m_buf.end(), piece.begin(), piece.end());
        return step();
    }

    core::Result<bool, HttpFailure> close() {
        if (!m_out.complete) {
            auto r = m_decoder ? m_decoder->finish() : m_head.finish();
            if (!r) return core::fail(r.error());
            if (!m_decoder) startBody();
            if (m_decoder && !m_decoder->done() && !m_decoder->finish())
                return core::fail(HttpFailure{HttpErrorKind::ClosedEarly, {}, 0});
            finishBody();
        }
        return m_out.complete;
    }

    ParsedResponse take() { return std::move(m_out); }

  private:
    std::span<const std::byte> pending() const {
        return std::span<const std::byte>(m_buf).subspan(m_pos);
    }

    core::Result<bool, HttpFailure> step() {
        while (!m_out.complete) {
            if (!m_decoder) {
                auto used = m_head.feed(pending());
                if (!used) return core::fail(used.error());
                m_pos += *used;
                if (!m_head.done()) return false;
                if (m_head.head().statusCode == 100) {
                    m_head = HeadParser{};
                    continue;
                }
                startBody();
                continue;
            }
            if (m_decoder->done()) {
                finishBody();
                break;
            }
            auto piece = m_decoder->next(pending());
            if (!piece) return core::fail(piece.error());
            if (piece->consumed == 0) return false;
            auto data = pending().subspan(piece->dataOffset, piece->dataSize);
            m_out.body.append(reinterpret_cast<const char*>(data.data()), data.size());
            m_pos += piece->consumed;
        }
        return true;
    }

    void startBody() {
        m_out.head = m_head.take();
        Framing f = statusHasBody(m_out.head.statusCode) ? framingOf(m_out.head) : Framing::None;
        m_decoder.emplace(f, m_out.head.contentLength());
    }

    void finishBody() {
        for (const auto& t : m_decoder->trailers()) m_out.head.rawHeaders.push_back(t);
        m_out.framedBytes = m_decoder->bytesRead();
        m_out.complete = true;
    }

    std::vector<std::byte> m_buf;
    std::size_t m_pos = 0;
    HeadParser m_head;
    std::optional<BodyDecoder> m_decoder;
    ParsedResponse m_out{};
};

}  // namespace

core::Result<ParsedResponse, HttpFailure> readResponse(
    std::span<const std::span<const std::byte>> pieces, PeerEnd end) {
    OneShot reader;
    for (auto piece : pieces)
        if (auto r = reader.feed(piece); !r) return core::fail(r.error());
    if (end == PeerEnd::Closed)
        if (auto r = reader.close(); !r) return core::fail(r.error());
    return reader.take();
}

}  // namespace net
