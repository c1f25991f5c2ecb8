#include "net/body_decoder.h"

#include <algorithm>

#include "core/text.h"
#include "net/line_splitter.h"

namespace net {

namespace {

constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// RFC 9112 7.1: chunk-size is hex, optionally followed by ";" and extensions. The size is kept
// below 2^63 so that every count derived from it stays a signed 64-bit value.
std::optional<std::uint64_t> parseChunkSize(std::string_view line) {
    std::string s = core::Trim(line.substr(0, line.find(';')));
    if (s.empty() || s.size() > 16) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    return v;
}

}  // namespace

Framing framingOf(const ResponseHead& head) {
    if (core::asciiLower(head.transferEncoding()).find("chunked") != std::string::npos)
        return Framing::Chunked;
    std::int64_t length = head.contentLength();
    if (length > 0) return Framing::Sized;
    if (length < 0) return Framing::UntilClose;
    return Framing::None;
}

BodyDecoder::BodyDecoder(Framing framing, std::int64_t contentLength) : m_framing(framing) {
    switch (framing) {
        case Framing::None:
            m_state = State::Done;
            break;
        case Framing::Sized:
            m_remaining = static_cast<std::uint64_t>(std::max<std::int64_t>(contentLength, 0));
            m_state = m_remaining ? State::Data : State::Done;
            break;
        case Framing::Chunked:
            m_state = State::SizeLine;
            break;
        case Framing::UntilClose:
            m_remaining = kUnbounded;
            m_state = State::Data;
            break;
    }
}

std::uint64_t BodyDecoder::dataWanted() const {
    return m_state == State::Data ? m_remaining : 0;
}

core::Result<BodyPiece, HttpFailure> BodyDecoder::next(std::span<const std::byte> in) {
    if (m_state == State::Done || in.empty()) return BodyPiece{};
    if (m_state != State::Data) return nextLine(in);
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(m_remaining, in.size()));
    if (m_remaining != kUnbounded) m_remaining -= n;
    m_read += n;
    if (m_remaining == 0) m_state = m_framing == Framing::Chunked ? State::DataEnd : State::Done;
    return BodyPiece{n, 0, n};
}

core::Result<BodyPiece, HttpFailure> BodyDecoder::nextLine(std::span<const std::byte> in) {
    auto line = net::nextLine(in);
    if (!line) {
        HttpFailure f = line.error();
        f.offset = m_read;
        return core::fail(f);
    }
    if (!*line) return BodyPiece{};
    if (auto r = takeLine((*line)->text); !r) return core::fail(r.error());
    m_read += (*line)->consumed;
    return BodyPiece{(*line)->consumed, 0, 0};
}

core::Result<void, HttpFailure> BodyDecoder::takeLine(std::string_view line) {
    switch (m_state) {
        case State::SizeLine: {
            auto size = parseChunkSize(line);
            if (!size)
                return core::fail(HttpFailure{HttpErrorKind::BadChunkSize,
                                              std::string(line.substr(0, 40)), m_read});
            m_remaining = *size;
            m_state = *size ? State::Data : State::Trailer;
            return core::Ok{};
        }
        case State::DataEnd:
            m_state = State::SizeLine;
            return core::Ok{};
        case State::Trailer:
            if (line.empty()) {
                m_state = State::Done;
                return core::Ok{};
            }
            m_trailerBytes += line.size() + 2;
            if (m_trailerBytes > kMaxHeadBytes)
                return core::fail(HttpFailure{HttpErrorKind::HeadTooLarge, {}, m_read});
            if (m_trailers.size() == kMaxHeaderLines)
                return core::fail(HttpFailure{HttpErrorKind::TooManyHeaders, {}, m_read});
            m_trailers.emplace_back(line);
            return core::Ok{};
        case State::Data:
        case State::Done:
            return core::Ok{};
    }
    return core::Ok{};
}

core::Result<void, HttpFailure> BodyDecoder::finish() {
    if (m_state == State::Done) return core::Ok{};
    if (m_framing == Framing::UntilClose) {
        m_state = State::Done;
        return core::Ok{};
    }
    return core::fail(HttpFailure{HttpErrorKind::ClosedEarly, {}, m_read});
}

}  // namespace net
