#include "net/id_http.h"

#include <limits>

#include "core/byte_cursor.h"
#include "core/text.h"
#include "net/charset.h"
#include "net/id_exceptions.h"
#include "net/url.h"

namespace net {

namespace {

// What an error response's body may make the client keep for ErrorMessage; the rest is read
// (to keep the connection in step) and dropped.
constexpr std::size_t kMaxErrorBody = 1024 * 1024;
// A 204, 304 or 1xx has no body (RFC 9110 6.4.1), but the client reads what a server sends
// anyway within this window, and at most kMaxStrayBytes of it.
constexpr int kStrayWaitMs = 100;
constexpr std::size_t kMaxStrayBytes = 1024 * 1024;

bool hasToken(std::string_view list, std::string_view token) {
    std::string rest(list);
    while (!rest.empty())
        if (core::equalsNoCaseAscii(core::Trim(core::SplitAt(rest, ',')), token)) return true;
    return false;
}

std::uint16_t parsePort(const std::string& port) {
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        throw EIdURIException("Invalid port \"" + port + "\".");
    unsigned long v = std::stoul(port);
    if (v == 0 || v > 65535) throw EIdURIException("Invalid port \"" + port + "\".");
    return static_cast<std::uint16_t>(v);
}

TIdHTTPResponse responseOf(const ResponseHead& h) {
    TIdHTTPResponse r;
    r.ResponseText = h.statusLine;
    r.ResponseCode = h.statusCode;
    r.RawHeaders = h.rawHeaders;
    r.ContentLength = h.contentLength();
    r.HasContentLength = h.hasContentLength();
    r.TransferEncoding = h.transferEncoding();
    r.Location = h.location();
    r.Connection = h.connection();
    r.ProxyConnection = h.proxyConnection();
    r.ContentType = h.contentType();
    r.CharSet = h.charSet();
    r.ContentRange = h.value("Content-Range").value_or("");
    r.ETag = h.value("ETag").value_or("");
    r.LastModified = h.value("Last-Modified").value_or("");
    return r;
}

}  // namespace

struct TIdHTTP::Target {
    Url url;
    std::uint16_t port = 0;
};

void TIdHTTP::Disconnect() {
    m_conn.close();
}

TIdHTTP::Target TIdHTTP::prepare(const std::string& text) {
    Target t{parseUrl(text)};
    const std::string protocol = core::asciiLower(t.url.protocol);
    // No TLS layer is attached, so https fails before any connection is made.
    if (protocol == "https") throw EIdIOHandlerPropInvalid(kMsgPropInvalid);
    if (protocol != "http") throw EIdUnknownProtocol(kMsgUnknownProtocol);
    t.port = parsePort(t.url.port);
    return t;
}

std::string TIdHTTP::requestBytes(const Target& t) {
    Request.Host = t.url.hostHeader();
    // Bodies are stored as received: no content coding is ever asked for.
    if (Request.AcceptEncoding.find("identity") == std::string::npos)
        Request.AcceptEncoding =
            Request.AcceptEncoding.empty() ? "identity" : Request.AcceptEncoding + ", identity";
    const bool v10 = ProtocolVersion == TIdHTTPProtocolVersion::pv1_0;
    TIdHTTPRequest sent = Request;
    // HTTP/1.0 connections close after each response unless keep-alive is asked for.
    if (v10 && sent.Connection.empty()) sent.Connection = "keep-alive";
    CookieLines cookies;
    if (AllowCookies)
        cookies = m_cookies.linesFor(t.url.host, t.url.path + t.url.document, CookieClock::now());
    return buildRequest("GET", t.url.target(), v10 ? "1.0" : "1.1", sent, cookies);
}

void TIdHTTP::Get(const std::string& URL, Stream& dest) {
    Target t = prepare(URL);
    const std::string bytes = requestBytes(t);
    ResponseReader reader;
    exchange(t, bytes, reader);
    const ResponseHead& head = reader.head();
    m_response = responseOf(head);
    if (AllowCookies)
        m_cookies.store(head.values("Set-Cookie"), head.values("Set-Cookie2"), t.url.host,
                        t.url.path + t.url.document, CookieClock::now());
    m_strayBytes = false;
    try {
        if (OnHeadersAvailable) OnHeadersAvailable(*this);
        handleStatus(reader, dest);
    } catch (const EIdHTTPProtocolException&) {
        if (!keepConnection(head)) m_conn.close();
        throw;
    } catch (...) {
        m_conn.close();
        throw;
    }
    if (!keepConnection(head)) m_conn.close();
}

void TIdHTTP::exchange(const Target& t, const std::string& bytes, ResponseReader& reader) {
    const auto family = t.url.ipv6 ? host::AddressFamily::IPv6 : host::AddressFamily::IPv4;
    for (int attempt = 0;; ++attempt) {
        const bool reused = m_conn.ensure(t.url.host, t.port, family);
        if (!reused) ++m_connects;
        const bool mayRetry = reused && attempt == 0;
        try {
            m_conn.send(core::asBytes(bytes));
        } catch (const EIdSocketError&) {
            if (mayRetry) continue;
            throw;
        }
        reader = ResponseReader{};
        if (readHead(reader, mayRetry)) return;
    }
}

bool TIdHTTP::readHead(ResponseReader& reader, bool reused) {
    for (;;) {
        auto step = reader.next(m_conn.pending());
        if (!step) raise(step.error());
        m_conn.consume(step->consumed);
        if (step->kind == ReadStep::Kind::Head) return true;
        const bool nothingYet = reused && !reader.started() && m_conn.pending().empty();
        bool more;
        try {
            more = m_conn.receiveMore(ReadTimeout);
        } catch (const EIdSocketError&) {
            if (nothingYet) return false;
            throw;
        }
        if (more) continue;
        if (nothingYet) {
            m_conn.close();
            return false;
        }
        if (auto r = reader.finish(); !r) raise(r.error());
    }
}

bool TIdHTTP::receiveFor(const ResponseReader& reader) {
    if (m_conn.peerClosed()) return false;
    // Body data is taken in blocks of kReceiveBlock, so that OnWork fires once per block.
    const std::uint64_t want = reader.dataWanted();
    if (want > 0 && m_conn.pending().empty()) {
        m_conn.fillBlock(static_cast<std::size_t>(std::min<std::uint64_t>(want, kReceiveBlock)),
                         ReadTimeout);
        return true;
    }
    return m_conn.receiveMore(ReadTimeout);
}

// Status handling in the client's order: refused redirections first (any status but 201 with
// a Location counts), then success, then the refusals.
void TIdHTTP::handleStatus(ResponseReader& reader, Stream& dest) {
    const ResponseHead& head = reader.head();
    const int code = head.statusCode;
    if ((code / 100 == 3 && code != 304) || (code != 201 && !head.location().empty()))
        refuse(reader, true);
    if (code / 100 == 2) {
        if (code == 204) return drainStray();
        return readBody(reader, framingOf(head), dest);
    }
    if (code == 401 || code == 407) refuse(reader, true);
    if (code / 100 == 1 || code == 304) refuse(reader, m_conn.readableWithin(kStrayWaitMs));
    refuse(reader, true);
}

// The status decides the exception. An error body is read into a bounded scratch buffer as
// far as it goes: when it breaks off (cut short, bad framing, a failing socket) the text that
// arrived is the ErrorMessage and the connection, now out of step, is closed.
[[noreturn]] void TIdHTTP::refuse(ResponseReader& reader, bool withBody) {
    const ResponseHead& head = reader.head();
    MemoryStream scratch(kMaxErrorBody, Overflow::Drop);
    if (withBody) {
        try {
            readBody(reader, framingOf(head), scratch);
        } catch (const core::Exception&) {
            m_conn.close();
        }
    }
    throw EIdHTTPProtocolException(head.statusLine, head.statusCode,
                                   decodeCharset(scratch.text(), head.charSet()));
}

void TIdHTTP::drainStray() {
    std::size_t dropped = m_conn.pending().size();
    m_conn.discardPending();
    while (dropped < kMaxStrayBytes && m_conn.readableWithin(kStrayWaitMs)) {
        if (!m_conn.receiveMore(ReadTimeout) && m_conn.pending().empty()) break;
        dropped += m_conn.pending().size();
        m_conn.discardPending();
    }
    m_strayBytes = dropped > 0;
}

void TIdHTTP::readBody(ResponseReader& reader, Framing framing, Stream& dest) {
    reader.readBody(framing);
    if (framing == Framing::None) return;
    const std::int64_t start = dest.Position();
    const std::int64_t length = framing == Framing::Sized ? reader.head().contentLength() : 0;
    if (length > std::numeric_limits<std::int64_t>::max() - start)
        throw EIdIOHandlerStreamDataTooLarge(kMsgDataTooLarge);
    const bool presized = framing == Framing::Sized && dest.Size() < start + length;
    if (presized) dest.SetSize(start + length);
    // Whatever ends the reading, the destination keeps no space it did not fill.
    auto cutBack = [&] {
        if (presized && dest.Size() > dest.Position()) dest.SetSize(dest.Position());
    };
    beginWork(TWorkMode::wmRead, length);
    try {
        std::int64_t total = 0;
        for (;;) {
            const auto in = m_conn.pending();
            auto step = reader.next(in);
            if (!step) raise(step.error());
            if (step->kind == ReadStep::Kind::Done) break;
            if (step->kind == ReadStep::Kind::NeedMore) {
                if (!receiveFor(reader))
                    if (auto r = reader.finish(); !r) raise(r.error());
                continue;
            }
            if (step->dataSize) dest.Write(in.subspan(step->dataOffset, step->dataSize));
            m_conn.consume(step->consumed);
            total += static_cast<std::int64_t>(step->consumed);
            doWork(TWorkMode::wmRead, total);
        }
    } catch (...) {
        cutBack();
        endWork(TWorkMode::wmRead);
        throw;
    }
    cutBack();
    endWork(TWorkMode::wmRead);
    for (const auto& t : reader.trailers()) m_response.RawHeaders.push_back(t);
}

bool TIdHTTP::keepConnection(const ResponseHead& head) const {
    if (!m_conn.isOpen() || m_conn.peerClosed() || m_strayBytes) return false;
    const std::string c = head.connection(), pc = head.proxyConnection();
    if (hasToken(c, "close") || hasToken(pc, "close")) return false;
    // RFC 9112 9.3: an HTTP/1.0 exchange persists only when both sides asked for keep-alive.
    if (ProtocolVersion == TIdHTTPProtocolVersion::pv1_0 || head.isHttp10())
        return hasToken(c, "keep-alive") || hasToken(pc, "keep-alive");
    return true;
}

void TIdHTTP::raise(const HttpFailure& f) {
    m_conn.close();
    switch (f.kind) {
        case HttpErrorKind::LineTooLong:
            throw EIdReadLnMaxLineLengthExceeded(f.message());
        case HttpErrorKind::ClosedEarly:
            throw EIdConnClosedGracefully(f.message());
        case HttpErrorKind::HeadTooLarge:
        case HttpErrorKind::TooManyHeaders:
        case HttpErrorKind::BadChunkSize:
            throw EIdHTTPResponseInvalid(f.message());
    }
    throw EIdHTTPResponseInvalid(f.message());
}

void TIdHTTP::beginWork(TWorkMode mode, std::int64_t max) {
    if (m_workDepth++ == 0 && OnWorkBegin) OnWorkBegin(*this, mode, max);
}

void TIdHTTP::doWork(TWorkMode mode, std::int64_t count) {
    if (m_workDepth > 0 && OnWork) OnWork(*this, mode, count);
}

void TIdHTTP::endWork(TWorkMode mode) {
    if (--m_workDepth == 0 && OnWorkEnd) OnWorkEnd(*this, mode);
}

}  // namespace net
