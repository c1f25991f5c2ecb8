// The body of the cookie fuzz target: the same bytes as a "Set-Cookie" value, a "Set-Cookie2"
// list and a cookie date. What the parsers accept must keep the cookie rules (RFC 6265 5.1.1,
// 5.2, 5.3); each check that fails aborts.
#pragma once

#include <string_view>

namespace fuzzing {

void checkCookieText(std::string_view text);

}  // namespace fuzzing
