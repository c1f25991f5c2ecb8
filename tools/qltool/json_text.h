// JSON string literals for qltool's line-per-object output: quotes, backslashes and control
// characters escaped (\uXXXX), other UTF-8 passed through.
#pragma once

#include <string>
#include <string_view>

inline std::string jsonString(std::string_view s) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
    return out;
}
