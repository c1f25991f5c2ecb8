// Content-Range (RFC 9110 14.4) as a ranged download reads it: "bytes first-last/complete" on a
// 206, "bytes */complete" on a 416. Anything else (another unit, a list, numbers out of order
// or out of range) is not a range the client can place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

struct ContentRange {
    std::int64_t first = -1;     // -1 for "*" (unsatisfied)
    std::int64_t last = -1;      // inclusive
    std::int64_t complete = -1;  // -1 for "*" (length unknown)
};

std::optional<ContentRange> parseContentRange(std::string_view value);

// The validator a resumed request names in If-Range: a strong ETag as sent, else the
// Last-Modified date, else "" (a weak ETag cannot be used with If-Range, RFC 9110 13.1.5).
std::string rangeValidator(std::string_view etag, std::string_view lastModified);

}  // namespace net
