// The error values of the HTTP response reader: what went wrong and where, turned into the
// client's exceptions in one place (TIdHTTP::raise).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace net {

// Limits on everything a server controls in a response head and its framing.
inline constexpr std::size_t kMaxLineLength = 16384;       // status, header, chunk-size lines
inline constexpr std::size_t kMaxHeadBytes = 1024 * 1024;  // one response head (or its trailers)
inline constexpr std::size_t kMaxHeaderLines = 1000;       // header lines of one head
inline constexpr std::size_t kReceiveBlock = 32768;        // one read into the destination

enum class HttpErrorKind {
    LineTooLong,     // a line over kMaxLineLength
    ClosedEarly,     // orderly close where the status line, a chunk or sized body bytes were due
    HeadTooLarge,    // head or trailers over kMaxHeadBytes
    TooManyHeaders,  // head or trailers over kMaxHeaderLines lines
    BadChunkSize,    // a chunk-size line that is not a hexadecimal number
};

struct HttpFailure {
    HttpErrorKind kind = HttpErrorKind::ClosedEarly;
    std::string detail;        // the offending text, cut short
    std::uint64_t offset = 0;  // bytes of the response read before the fault

    // The exact message the client's exception carries.
    std::string message() const;
};

}  // namespace net
