// Texts cross the connection in its single-byte character set: latin1 as the server names it,
// read by this client as Windows-1252 (the system's ANSI code page). A text holding a character
// the set cannot represent is refused with a message that names the character and where it
// stands; it is never sent with a "?" in its place, which would store other data than the
// script says without a word.
#pragma once

#include <string>
#include <string_view>

#include "core/result.h"

namespace db {

enum class Secret { No, Yes };

// The bytes to send for `utf8`, or the message: `what` holds "<c>" (U+XXXX) at line L, column
// C, which the connection's character set (latin1) cannot represent. A Secret text (the
// password) never has its character named.
core::Result<std::string, std::string> toConnectionText(std::string_view utf8,
                                                        std::string_view what,
                                                        Secret secret = Secret::No);
// The same, raising EDatabaseError (behind `component` when there is one) on failure.
std::string toConnectionTextOrRaise(std::string_view component, std::string_view utf8,
                                    std::string_view what, Secret secret = Secret::No);

// What the server sends, as UTF-8.
std::string fromConnectionText(std::string_view bytes);
void appendFromConnectionText(std::string& out, std::string_view bytes);

}  // namespace db
