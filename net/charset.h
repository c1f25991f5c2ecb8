// Turns a response body into text by the charset its Content-Type names (the error text of a
// refused response); unknown and missing charsets read as ISO-8859-1, which maps every byte.
#pragma once

#include <string>
#include <string_view>

namespace net {

std::string decodeCharset(std::string_view bytes, std::string_view charset);

}  // namespace net
