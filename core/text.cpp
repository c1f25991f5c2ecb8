#include "core/text.h"

#include <array>

namespace core {

namespace {

// Windows-1252 0x80..0x9F; the five holes keep their C1 code point as Windows maps them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

bool isCont(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of a valid UTF-8 sequence at s[i], or 0 when it is not valid (RFC 3629 table).
std::size_t utf8SeqLen(std::string_view s, std::size_t i) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = at(i);
    std::size_t left = s.size() - i;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return (left >= 2 && isCont(at(i + 1))) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !isCont(at(i + 1)) || !isCont(at(i + 2))) return 0;
        if (c == 0xE0 && at(i + 1) < 0xA0) return 0;   // overlong
        if (c == 0xED && at(i + 1) >= 0xA0) return 0;  // surrogates
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !isCont(at(i + 1)) || !isCont(at(i + 2)) || !isCont(at(i + 3))) return 0;
        if (c == 0xF0 && at(i + 1) < 0x90) return 0;   // overlong
        if (c == 0xF4 && at(i + 1) >= 0x90) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = utf8SeqLen(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u32string utf8ToCodePoints(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = utf8SeqLen(s, i);
        auto c = static_cast<unsigned char>(s[i]);
        if (n == 0) {
            out += U'\xFFFD';
            ++i;
            continue;
        }
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (std::size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out += cp;
        i += n;
    }
    return out;
}

char32_t codePageToUnicode(CodePage cp, unsigned char b) {
    if (cp == CodePage::Windows1252 && b >= 0x80 && b <= 0x9F) return kCp1252High[b - 0x80];
    return b;
}

std::string codePageToUtf8(CodePage cp, std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
        } else {
            appendUtf8(out, codePageToUnicode(cp, b));
        }
    }
    return out;
}

namespace {
int unicodeToCodePage(CodePage cp, char32_t u) {
    if (u < 0x80) return static_cast<int>(u);
    if (cp == CodePage::Latin1) return u <= 0xFF ? static_cast<int>(u) : -1;
    if (u >= 0xA0 && u <= 0xFF) return static_cast<int>(u);
    for (std::size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] == u) return static_cast<int>(0x80 + i);
    return -1;
}
}  // namespace

std::string utf8ToCodePage(CodePage cp, std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char32_t u : utf8ToCodePoints(utf8)) {
        int b = unicodeToCodePage(cp, u);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

Result<std::string, Unencodable> utf8ToCodePageExact(CodePage cp, std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t n = utf8SeqLen(utf8, i);
        if (n == 0) return fail(Unencodable{U'\xFFFD', i});
        char32_t u = n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (std::size_t k = 1; k < n; ++k)
            u = (u << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        const int b = unicodeToCodePage(cp, u);
        if (b < 0) return fail(Unencodable{u, i});
        out += static_cast<char>(b);
        i += n;
    }
    return out;
}

std::string utf16ToUtf8(std::string_view bytes, Endian e) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) -> char16_t {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return e == Endian::Little ? char16_t(b0 | (b1 << 8)) : char16_t((b0 << 8) | b1);
    };
    std::size_t n = bytes.size() / 2;
    for (std::size_t k = 0; k < n; ++k) {
        char16_t u = unit(2 * k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
            char16_t lo = unit(2 * (k + 1));
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (lo - 0xDC00));
                ++k;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    return out;
}

std::string utf8ToUtf16(std::string_view utf8, Endian e) {
    std::string out;
    auto put = [&](char16_t u) {
        char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        if (e == Endian::Little) {
            out += lo;
            out += hi;
        } else {
            out += hi;
            out += lo;
        }
    };
    for (char32_t cp : utf8ToCodePoints(utf8)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string decodeText(std::string_view b) {
    if (b.starts_with("\xEF\xBB\xBF")) {
        // A UTF-8 file is taken as it is; invalid sequences become U+FFFD so that the
        // rest of the program only ever sees valid UTF-8.
        std::string out;
        for (char32_t cp : utf8ToCodePoints(b.substr(3))) appendUtf8(out, cp);
        return out;
    }
    if (b.starts_with("\xFF\xFE")) return utf16ToUtf8(b.substr(2), Endian::Little);
    if (b.starts_with("\xFE\xFF")) return utf16ToUtf8(b.substr(2), Endian::Big);
    return cp1252ToUtf8(b);
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
    return std::string(s.substr(b, e - b));
}

std::string TrimRight(std::string_view s) {
    return TrimRightBelow(s, 0x21);
}

std::string TrimRightBelow(std::string_view s, unsigned char limit) {
    std::size_t e = s.size();
    while (e > 0 && static_cast<unsigned char>(s[e - 1]) < limit) --e;
    return std::string(s.substr(0, e));
}

std::string SplitAt(std::string& text, char c) {
    auto pos = text.find(c);
    if (pos == std::string::npos) {
        std::string head = std::move(text);
        text.clear();
        return head;
    }
    std::string head = text.substr(0, pos);
    text.erase(0, pos + 1);
    return head;
}

int CompareVersionText(std::string_view a, std::string_view b) {
    // Byte order of UTF-8 is code point order; for the ASCII identifiers in use it is also
    // the UTF-16 code unit order of the original system.
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string asciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace core
