#include "net/content_range.h"

#include <limits>

#include "core/text.h"

namespace net {

namespace {

// A run of ASCII digits that fits in int64.
std::optional<std::int64_t> number(std::string_view s) {
    if (s.empty() || s.size() > 18) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

std::optional<ContentRange> parseContentRange(std::string_view value) {
    const std::string trimmed = core::Trim(value);
    std::string_view v = trimmed;
    constexpr std::string_view unit = "bytes ";
    if (v.size() < unit.size() || !core::equalsNoCaseAscii(v.substr(0, unit.size()), unit))
        return std::nullopt;
    v = v.substr(unit.size());
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    const auto slash = v.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view range = v.substr(0, slash), complete = v.substr(slash + 1);
    ContentRange r;
    if (complete != "*") {
        auto n = number(complete);
        if (!n) return std::nullopt;
        r.complete = *n;
    }
    if (range == "*") {
        // An unsatisfied range must say the length it could not satisfy.
        if (r.complete < 0) return std::nullopt;
        return r;
    }
    const auto dash = range.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    auto first = number(range.substr(0, dash)), last = number(range.substr(dash + 1));
    if (!first || !last || *last < *first) return std::nullopt;
    if (r.complete >= 0 && *last >= r.complete) return std::nullopt;
    r.first = *first;
    r.last = *last;
    return r;
}

std::string rangeValidator(std::string_view etagValue, std::string_view lastModified) {
    const std::string etag = core::Trim(etagValue);
    if (etag.size() >= 2 && etag.front() == '"' && etag.back() == '"') return etag;
    return core::Trim(lastModified);
}

}  // namespace net
