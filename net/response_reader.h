// The HTTP response reader: heads (skipping "100 Continue") and then a body by the framing the
// caller chooses, from whatever bytes have arrived. The client drives it from its socket; the
// one-shot readResponse drives it from a list of pieces. No I/O of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/result.h"
#include "net/body_decoder.h"
#include "net/http_failure.h"
#include "net/response_head.h"

namespace net {

// What one call of ResponseReader::next did. `consumed` bytes from the front of the input are
// used up (the caller drops them); of them, a Data step's `dataSize` bytes from `dataOffset`
// are body bytes.
struct ReadStep {
    enum class Kind {
        NeedMore,  // nothing more can be taken until more bytes arrive (or the peer closes)
        Head,      // the final head is complete: choose the body's framing with readBody()
        Data,      // one element of the body: data, or a line of the chunked framing
        Done,      // the body is complete; trailers are in trailers()
    };
    Kind kind = Kind::NeedMore;
    std::size_t consumed = 0;
    std::size_t dataOffset = 0;
    std::size_t dataSize = 0;
};

// The reader's states, by what it is reading:
//            next(): bytes in                                  finish(): peer closed
//   Head     whole lines; at the empty line a 100 head starts  ClosedEarly (a head never
//            over, any other head goes to AwaitBody (Head)     ends without its empty line)
//   AwaitBody  nothing until readBody(framing) goes to Body    -
//   Body     one element per call (Data); Done once complete   ends an until-close body (Done),
//                                                              else ClosedEarly
//   Done     Done                                              nothing
class ResponseReader {
  public:
    core::Result<ReadStep, HttpFailure> next(std::span<const std::byte> in);
    // The peer closed in order and every byte it sent was offered to next().
    core::Result<void, HttpFailure> finish();

    // In AwaitBody: read the body with this framing (None: there is no body).
    void readBody(Framing framing);

    // The head read (complete from the Head step on).
    const ResponseHead& head() const { return m_head.head(); }
    // Body data the reader can take right now (0 while it expects a line, or outside a body).
    std::uint64_t dataWanted() const { return m_state == State::Body ? m_body.dataWanted() : 0; }
    // Trailer lines of a chunked body.
    const std::vector<std::string>& trailers() const { return m_body.trailers(); }
    // Body bytes taken, framing included.
    std::uint64_t bodyBytes() const { return m_body.bytesRead(); }
    // Whether any byte of a response was taken (a kept connection that ends before that was
    // closed by the server in the meantime, not in the middle of an answer).
    bool started() const { return m_started; }
    bool headComplete() const { return m_state != State::Head; }
    bool done() const { return m_state == State::Done; }

  private:
    enum class State { Head, AwaitBody, Body, Done };

    core::Result<ReadStep, HttpFailure> nextInHead(std::span<const std::byte> in);

    State m_state = State::Head;
    HeadParser m_head;
    BodyDecoder m_body{Framing::None, 0};
    bool m_started = false;
};

enum class PeerEnd { Open, Closed };

struct ParsedResponse {
    ResponseHead head;          // the final head (after any 100 Continue), trailers appended
    std::string body;           // the body by its framing
    std::uint64_t framedBytes;  // body bytes including the chunked framing
    bool headComplete = false;  // the final head ended with its empty line
    bool complete = false;      // false: more bytes were needed
};

// The one-shot entry for tests and fuzzers: the pieces in order (as they would arrive) and,
// when `end` is Closed, the orderly close after the last one. 1xx, 204 and 304 have no body.
core::Result<ParsedResponse, HttpFailure> readResponse(
    std::span<const std::span<const std::byte>> pieces, PeerEnd end);

// Whether a response of this status carries a body at all (RFC 9110 6.4.1).
bool statusHasBody(int statusCode);

}  // namespace net
