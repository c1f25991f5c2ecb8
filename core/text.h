// Text at the edges: every text inside the program is UTF-8 in std::string; bytes from files,
// the network and the database become text only through these codecs.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace core {

bool isValidUtf8(std::string_view s);

// Appends the UTF-8 form of a code point (U+0000..U+10FFFF, surrogates become U+FFFD).
void appendUtf8(std::string& out, char32_t cp);
// Decodes UTF-8 into code points; an invalid sequence yields U+FFFD for its first byte.
std::u32string utf8ToCodePoints(std::string_view s);

// Single-byte code pages. Every byte maps to a code point; Windows-1252's five unassigned
// bytes 0x81 0x8D 0x8F 0x90 0x9D map to U+0081.. as Windows' own conversion does.
enum class CodePage { Windows1252, Latin1 };
char32_t codePageToUnicode(CodePage cp, unsigned char b);
std::string codePageToUtf8(CodePage cp, std::string_view bytes);
// Characters without a byte in the code page become '?', as Windows' best-fit-free conversion.
std::string utf8ToCodePage(CodePage cp, std::string_view utf8);

// The first character of a UTF-8 text that a code page has no byte for: its code point (U+FFFD
// for bytes that are no UTF-8) and the offset of its first byte.
struct Unencodable {
    char32_t codePoint = 0;
    std::size_t offset = 0;
};
// The text in the code page, or the first character it cannot hold: nothing is replaced.
Result<std::string, Unencodable> utf8ToCodePageExact(CodePage cp, std::string_view utf8);

inline std::string cp1252ToUtf8(std::string_view b) {
    return codePageToUtf8(CodePage::Windows1252, b);
}
inline std::string utf8ToCp1252(std::string_view s) {
    return utf8ToCodePage(CodePage::Windows1252, s);
}
inline std::string latin1ToUtf8(std::string_view b) {
    return codePageToUtf8(CodePage::Latin1, b);
}
inline std::string utf8ToLatin1(std::string_view s) {
    return utf8ToCodePage(CodePage::Latin1, s);
}

enum class Endian { Little, Big };
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD, an odd last byte is dropped.
std::string utf16ToUtf8(std::string_view bytes, Endian e);
std::string utf8ToUtf16(std::string_view utf8, Endian e);

// Decodes a file or body: UTF-8, UTF-16LE or UTF-16BE when it starts with that BOM (the BOM is
// not part of the text), otherwise Windows-1252.
std::string decodeText(std::string_view bytes);
inline std::string decodeText(std::span<const std::byte> b) {
    return decodeText(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

// Splits at CR LF, LF or CR. A final line break does not start an empty last line;
// an empty text has no lines.
std::vector<std::string> splitLines(std::string_view text);

// Removes every character with a code up to U+0020 from both ends.
std::string Trim(std::string_view s);
std::string TrimRight(std::string_view s);
// Removes trailing characters whose code is below `limit` (33: blanks and control characters).
std::string TrimRightBelow(std::string_view s, unsigned char limit);

// Gives the part of `text` before the first `c` and leaves the part after it in `text`;
// without `c` the head is the whole text and `text` becomes empty.
std::string SplitAt(std::string& text, char c);

// Version identifiers compare as plain text, code unit by code unit, a proper prefix first.
int CompareVersionText(std::string_view a, std::string_view b);
inline bool VersionBefore(std::string_view a, std::string_view b) {
    return CompareVersionText(a, b) < 0;
}

// ASCII-only case helpers (the system folds only a..z / A..Z).
std::string asciiUpper(std::string_view s);
std::string asciiLower(std::string_view s);
bool equalsNoCaseAscii(std::string_view a, std::string_view b);

}  // namespace core
