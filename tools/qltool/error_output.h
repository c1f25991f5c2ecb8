// Writes a failure as one line on a stream, the text whole: an exception's message may hold a
// NUL (the lexer names the character it stopped at), which printf("%s") would cut.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/exception.h"

inline void writeLine(std::FILE* out, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fputc('\n', out);
}

// "CLASS: message".
inline void writeFailure(std::FILE* out, const core::Exception& e) {
    writeLine(out, std::string(e.className()) + ": " + e.message());
}
