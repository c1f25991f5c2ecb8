// Parameter placeholders of a statement: ":" outside quotes and comments directly followed by
// a name or a number (an "@" may stand between). No value is ever bound to them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "db/lexer.h"

namespace db {

// The names in order of appearance, each once (letter case ignored).
core::Result<std::vector<std::string>, LexError> findParams(std::string_view text);

}  // namespace db
