// One response head (status line and header lines) and the incremental parser that reads it
// from received bytes without doing any I/O itself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "net/http_failure.h"

namespace net {

struct ResponseHead {
    std::string statusLine;               // as received, without its line end
    int statusCode = -1;                  // second token of the status line, -1 if not a number
    std::vector<std::string> rawHeaders;  // header lines (then trailers) in arrival order

    // The value (trimmed) of the first header of that name, compared without regard to case.
    std::optional<std::string> value(std::string_view name) const;
    std::vector<std::string> values(std::string_view name) const;

    // Content-Length as a decimal integer, -1 when missing or not a number.
    std::int64_t contentLength() const;
    bool hasContentLength() const { return contentLength() >= 0; }
    std::string transferEncoding() const { return value("Transfer-Encoding").value_or(""); }
    std::string location() const { return value("Location").value_or(""); }
    std::string connection() const { return value("Connection").value_or(""); }
    std::string proxyConnection() const { return value("Proxy-Connection").value_or(""); }
    std::string contentType() const { return value("Content-Type").value_or(""); }
    // The "charset" parameter of Content-Type; "ISO-8859-1" for a text type that names none.
    std::string charSet() const;
    // "HTTP/1.0" when the status line says so (its persistence rule differs, RFC 9112 9.3).
    bool isHttp10() const;
};

// The status code: the second space-separated token read as a decimal integer, else -1.
int parseStatusCode(std::string_view statusLine);

// Reads one head line by line. feed() takes whole lines only and says how many bytes it used;
// the caller keeps the rest (a partial line, or the body that follows the empty line).
class HeadParser {
  public:
    core::Result<std::size_t, HttpFailure> feed(std::span<const std::byte> in);
    // The peer closed in order before the head's empty line: ClosedEarly, wherever in the head
    // that happens (a head cut short may have lost the very header that frames the body).
    core::Result<void, HttpFailure> finish() const;

    bool done() const { return m_state == State::Done; }
    std::uint64_t bytesRead() const { return m_bytes; }
    const ResponseHead& head() const { return m_head; }
    ResponseHead take() { return std::move(m_head); }

  private:
    enum class State { StatusLine, Headers, Done };
    State m_state = State::StatusLine;
    ResponseHead m_head;
    std::uint64_t m_bytes = 0;
};

}  // namespace net
