// The property the JSON fuzz target checks, callable from the unit test that replays the inputs
// kept in tests/regressions/json/.
#pragma once

#include <string_view>

#include "core/json.h"

namespace jsonfuzz {

// Any bytes: the reader gives a value or an error at an offset inside the text (or at its
// end); a value written and read again is the same value, and writing it again gives the same
// text.
inline bool jsonHolds(std::string_view text) {
    const auto v = core::json::parse(text);
    if (!v) return v.error().offset <= text.size() && !v.error().message.empty();
    const std::string once = core::json::write(*v);
    const auto back = core::json::parse(once);
    return back && *back == *v && core::json::write(*back) == once;
}

}  // namespace jsonfuzz
