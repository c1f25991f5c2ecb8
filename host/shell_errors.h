// The result codes of the shell's tree operations and the Italian texts the updater logs for
// them; the codes are SHFileOperation's documented DE_* values.
#pragma once

#include <string_view>

namespace host {

inline constexpr int kDeSameFile = 0x71;
inline constexpr int kDeManySrc1Dest = 0x72;
inline constexpr int kDeDiffDir = 0x73;
inline constexpr int kDeRoot = 0x74;
inline constexpr int kDeOpCancelled = 0x75;
inline constexpr int kDeDestSubtree = 0x76;
inline constexpr int kDeAccessDeniedSrc = 0x78;
inline constexpr int kDePathTooDeep = 0x79;
inline constexpr int kDeManyDest = 0x7A;
inline constexpr int kDeInvalidFiles = 0x7C;
inline constexpr int kDeDestSameTree = 0x7D;
inline constexpr int kDeFlDestIsDir = 0x7E;    // the destination is an existing file
inline constexpr int kDeFileDestIsFld = 0x80;  // the destination is an existing folder
inline constexpr int kDeFileNameTooLong = 0x81;
inline constexpr int kDeDestIsCdRom = 0x82;
inline constexpr int kDeDestIsDvd = 0x83;
inline constexpr int kDeDestIsCdRecord = 0x84;
inline constexpr int kDeFileTooLarge = 0x85;
inline constexpr int kDeSrcIsCdRom = 0x86;
inline constexpr int kDeSrcIsDvd = 0x87;
inline constexpr int kDeSrcIsCdRecord = 0x88;
inline constexpr int kDeErrorMaxPath = 0xB7;
inline constexpr int kDeUnknownError = 0x402;
inline constexpr int kErrorOnDest = 0x10000;
inline constexpr int kDeRootDir = 0x10074;

// The text for a code of the table; "" for 0 and for every code without an entry.
std::string_view ShellErrorText(int code);

}  // namespace host
