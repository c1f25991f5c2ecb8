#include "net/response_reader.h"

namespace net {

bool statusHasBody(int statusCode) {
    return !(statusCode >= 100 && statusCode < 200) && statusCode != 204 && statusCode != 304;
}

core::Result<ReadStep, HttpFailure> ResponseReader::nextInHead(std::span<const std::byte> in) {
    ReadStep step;
    for (;;) {
        auto used = m_head.feed(in.subspan(step.consumed));
        if (!used) return core::fail(used.error());
        step.consumed += *used;
        if (*used > 0) m_started = true;
        if (!m_head.done()) return step;
        // RFC 9110 15.2.1: an interim "100 Continue" is followed by the final response.
        if (m_head.head().statusCode != 100) break;
        m_head = HeadParser{};
    }
    m_state = State::AwaitBody;
    step.kind = ReadStep::Kind::Head;
    return step;
}

core::Result<ReadStep, HttpFailure> ResponseReader::next(std::span<const std::byte> in) {
    switch (m_state) {
        case State::Head:
            return nextInHead(in);
        case State::AwaitBody:
            return ReadStep{ReadStep::Kind::Head, 0, 0, 0};
        case State::Body: {
            if (m_body.done()) {
                m_state = State::Done;
                return ReadStep{ReadStep::Kind::Done, 0, 0, 0};
            }
            auto piece = m_body.next(in);
            if (!piece) return core::fail(piece.error());
            if (piece->consumed == 0) return ReadStep{};
            return ReadStep{ReadStep::Kind::Data, piece->consumed, piece->dataOffset,
                            piece->dataSize};
        }
        case State::Done:
            break;
    }
    return ReadStep{ReadStep::Kind::Done, 0, 0, 0};
}

core::Result<void, HttpFailure> ResponseReader::finish() {
    switch (m_state) {
        case State::Head:
            return m_head.finish();
        case State::AwaitBody:
        case State::Done:
            return core::Ok{};
        case State::Body:
            return m_body.finish();
    }
    return core::Ok{};
}

void ResponseReader::readBody(Framing framing) {
    if (m_state != State::AwaitBody) return;
    m_body = BodyDecoder(framing, m_head.head().contentLength());
    m_state = State::Body;
}

namespace {

// Drives a ResponseReader over a growing buffer of pieces, choosing the framing by the
// status as RFC 9110 6.4.1 does.
class OneShot {
  public:
    core::Result<void, HttpFailure> feed(std::span<const std::byte> piece) {
        m_buf.insert(m_buf.end(), piece.begin(), piece.end());
        return drain();
    }

    core::Result<void, HttpFailure> close() {
        if (auto r = m_reader.finish(); !r) return r;
        return drain();
    }

    ParsedResponse take() {
        m_out.head = m_reader.head();
        m_out.headComplete = m_reader.headComplete();
        if (m_out.complete) {
            for (const auto& t : m_reader.trailers()) m_out.head.rawHeaders.push_back(t);
            m_out.framedBytes = m_reader.bodyBytes();
        }
        return std::move(m_out);
    }

  private:
    core::Result<void, HttpFailure> drain() {
        while (!m_out.complete) {
            const auto in = std::span<const std::byte>(m_buf).subspan(m_pos);
            auto step = m_reader.next(in);
            if (!step) return core::fail(step.error());
            m_pos += step->consumed;
            switch (step->kind) {
                case ReadStep::Kind::NeedMore:
                    return core::Ok{};
                case ReadStep::Kind::Head: {
                    const ResponseHead& h = m_reader.head();
                    m_reader.readBody(statusHasBody(h.statusCode) ? framingOf(h) : Framing::None);
                    break;
                }
                case ReadStep::Kind::Data: {
                    const auto data = in.subspan(step->dataOffset, step->dataSize);
                    m_out.body.append(reinterpret_cast<const char*>(data.data()), data.size());
                    break;
                }
                case ReadStep::Kind::Done:
                    m_out.complete = true;
                    break;
            }
        }
        return core::Ok{};
    }

    std::vector<std::byte> m_buf;
    std::size_t m_pos = 0;
    ResponseReader m_reader;
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
