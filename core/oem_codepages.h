// The DOS (OEM) and Windows (ANSI) single-byte code pages that ZIP entry names may be written
// in, with the set of bytes that stand for letters in each; names become UTF-8 through them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// The code pages this system reads names in: DOS 437 720 737 775 850 852 855 857 862 866 and
// Windows 1250 to 1257.
bool hasSingleByteCodePage(int codePage);
// The text of `bytes` in the code page; bytes below 0x80 are ASCII. An unknown page reads as
// Windows-1252.
std::string singleByteToUtf8(int codePage, std::string_view bytes);
// True when byte `b` (0x80..0xFF) stands for a letter in the code page.
bool isCodePageLetter(int codePage, std::uint8_t b);
// The Windows code page paired with a DOS one (850 -> 1252, 866 -> 1251, ...); 0 when unknown.
int ansiPairOf(int oemCodePage);

// This system's fixed pair (Windows' "ANSI" and "OEM" code pages of a Western European setup).
inline constexpr int kAnsiCodePage = 1252;
inline constexpr int kOemCodePage = 850;

}  // namespace core
