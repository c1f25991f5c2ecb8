// The properties the db fuzz targets check, callable from unit tests that replay the inputs
// kept in tests/regressions/. Each returns false when the property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/lexer.h"
#include "db/script_reader.h"
#include "db/text_position.h"

namespace dbfuzz {

inline bool isControl(unsigned char c) {
    return (c < 32 && c != 9 && c != 10 && c != 13) || c == 127;
}

// The lexer fails only on a control character outside quotes and comments, and the lexemes
// of every text it accepts give back the text.
inline bool lexerHolds(std::string_view text) {
    auto r = db::lexAll(text);
    if (!r)
        return r.error().offset < text.size() &&
               isControl(static_cast<unsigned char>(text[r.error().offset]));
    std::string joined;
    for (const db::Lexeme& lx : *r) {
        if (lx.text.empty()) return false;
        joined += lx.text;
    }
    return joined == text;
}

// Splitting ends, and statements are ordered, non-overlapping, non-blank stretches of the
// script (so every statement's text appears in it), placed at their first character and at
// the start of their last one. The first byte picks the delimiter.
inline bool splitHolds(std::string_view data) {
    static const char* const kDelimiters[] = {";", "$$", "//", ";;", "GO", "$$$"};
    std::string_view delimiter = ";";
    if (!data.empty()) {
        delimiter = kDelimiters[static_cast<unsigned char>(data[0]) % 6];
        data.remove_prefix(1);
    }
    auto r = db::splitStatements(data, delimiter);
    if (!r) return true;
    std::size_t after = 0;
    db::PlaceWalk walk(data);
    for (const db::ScriptStatement& st : *r) {
        if (st.offset < after || st.text.empty()) return false;
        if (data.substr(st.offset, st.text.size()) != st.text) return false;
        if (st.text.find_first_not_of(" \t\r\n") == std::string_view::npos) return false;
        after = st.offset + st.text.size();
        std::size_t last = after - 1;
        // Back to the character's first byte: a stray continuation byte at the start of a line
        // is a character of its own.
        while (last > st.offset && (static_cast<unsigned char>(data[last]) & 0xC0) == 0x80 &&
               data[last - 1] != '\n' && data[last - 1] != '\r')
            --last;
        const db::TextPos start = walk.at(st.offset);
        if (st.start.line != start.line || st.start.column != start.column) return false;
        const db::TextPos end = walk.at(last);
        if (st.end.line != end.line || st.end.column != end.column) return false;
    }
    return true;
}

}  // namespace dbfuzz
