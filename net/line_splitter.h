// Finds the next line in received bytes for the response reader: lines end at LF, a CR before
// it is dropped, and no line may exceed kMaxLineLength (RFC 9112 2.2 allows the bare LF).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "core/result.h"
#include "net/http_failure.h"

namespace net {

struct Line {
    std::string_view text;  // without CR LF
    std::size_t consumed;   // bytes including the line end
};

// A complete line at the start of `in`, nullopt when more bytes are needed, or LineTooLong.
core::Result<std::optional<Line>, HttpFailure> nextLine(std::span<const std::byte> in);

}  // namespace net
