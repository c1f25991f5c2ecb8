// The response reader's one-shot entry point: a whole response from received pieces, through
// the same head parser and body decoder the client drives from its socket.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "core/result.h"
#include "net/body_decoder.h"
#include "net/http_failure.h"
#include "net/response_head.h"

namespace net {

enum class PeerEnd { Open, Closed };

struct ParsedResponse {
    ResponseHead head;          // the final head (after any 100 Continue), trailers appended
    std::string body;           // the body by its framing
    std::uint64_t framedBytes;  // body bytes including the chunked framing
    bool complete = false;      // false: more bytes were needed
};

// Reads the pieces in order (as they would arrive) and, when `end` is Closed, the orderly
// close after the last one. Heads of status 100 are skipped; 1xx, 204 and 304 have no body.
core::Result<ParsedResponse, HttpFailure> readResponse(
    std::span<const std::span<const std::byte>> pieces, PeerEnd end);

// Whether a response of this status carries a body at all (RFC 9110 6.4.1).
bool statusHasBody(int statusCode);

}  // namespace net
