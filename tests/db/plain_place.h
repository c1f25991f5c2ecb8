// The plain definition of a place in a text, for checking faster code against: walk every
// character from the start. Line breaks are LF and a CR not followed by LF; columns count
// characters (bytes that are not UTF-8 continuation bytes).
#pragma once

#include <cstddef>
#include <string>

#include "db/text_position.h"

namespace testsupport {

inline db::TextPos plainPlace(const std::string& t, std::size_t offset) {
    db::TextPos pos;
    for (std::size_t i = 0; i < offset; ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c == '\n' || (c == '\r' && (i + 1 == t.size() || t[i + 1] != '\n'))) {
            ++pos.line;
            pos.column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++pos.column;
        }
    }
    return pos;
}

}  // namespace testsupport
