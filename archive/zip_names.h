// Entry names to Unicode: the UTF-8 flag or plain UTF-8, the Info-ZIP (0x7075) and Xceed
// (0x554E) Unicode extras, and otherwise the OEM or ANSI code page, chosen as Windows tools do.
#pragma once

#include <string>
#include <string_view>

#include "archive/zip_format.h"
#include "core/oem_codepages.h"

namespace archive {

struct NameCodePages {
    int ansi = core::kAnsiCodePage;
    int oem = core::kOemCodePage;
};

// The decoded name (UTF-8), separators as stored.
std::string decodeEntryName(const CentralHeader& h, const NameCodePages& pages = {});

// ASCII and lead bytes C2-DF, E0-EF, F0-F4 each followed by 1, 2 or 3 bytes 80-BF.
bool isLooseUtf8(std::string_view raw);
// Every high byte of the name is an OEM letter, and not all of them are ANSI letters.
bool looksOemEncoded(std::string_view raw, const NameCodePages& pages);

}  // namespace archive
