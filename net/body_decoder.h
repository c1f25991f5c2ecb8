// Takes a response body out of received bytes by its framing (RFC 9112 6.3): chunked with
// trailers, a Content-Length, until the server closes, or nothing. No I/O of its own.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "core/result.h"
#include "net/http_failure.h"
#include "net/response_head.h"

namespace net {

enum class Framing { None, Sized, Chunked, UntilClose };

// The framing of a stored body, in the client's order of precedence: "chunked" in
// Transfer-Encoding, a Content-Length over 0, no usable Content-Length, a Content-Length of 0.
Framing framingOf(const ResponseHead& head);

// What one call of next() did: `consumed` bytes of the input were used, and of them the
// `dataSize` bytes from `dataOffset` are body data. consumed == 0 means "need more".
struct BodyPiece {
    std::size_t consumed = 0;
    std::size_t dataOffset = 0;
    std::size_t dataSize = 0;
};

class BodyDecoder {
  public:
    BodyDecoder(Framing framing, std::int64_t contentLength);

    // Body data the decoder can take right now: the rest of a sized body or of the current
    // chunk, unbounded until a close; 0 while it expects a line or is done.
    std::uint64_t dataWanted() const;
    bool done() const { return m_state == State::Done; }

    // Takes one element from the front of `in`: a line of the chunked framing, or data.
    core::Result<BodyPiece, HttpFailure> next(std::span<const std::byte> in);
    // The peer closed in order with nothing more to read: ends an until-close body; anything
    // else that was still due is ClosedEarly.
    core::Result<void, HttpFailure> finish();

    // Trailer lines of a chunked body, in arrival order.
    const std::vector<std::string>& trailers() const { return m_trailers; }
    std::uint64_t bytesRead() const { return m_read; }

  private:
    // Chunked framing (RFC 9112 7.1), row by row: SizeLine reads "hex[;ext]" and goes to Data
    // (size > 0) or Trailer (size 0); Data passes the chunk's bytes and goes to DataEnd; DataEnd
    // reads the line end after the data and goes back to SizeLine; Trailer reads lines up to
    // the empty one, then Done. Sized and UntilClose bodies stay in Data until Done.
    enum class State { SizeLine, Data, DataEnd, Trailer, Done };

    core::Result<BodyPiece, HttpFailure> nextLine(std::span<const std::byte> in);
    core::Result<void, HttpFailure> takeLine(std::string_view line);

    Framing m_framing;
    State m_state;
    std::uint64_t m_remaining = 0;  // data bytes still due in this chunk or sized body
    std::uint64_t m_read = 0;       // bytes taken so far, framing included
    std::uint64_t m_trailerBytes = 0;
    std::vector<std::string> m_trailers;
};

}  // namespace net
