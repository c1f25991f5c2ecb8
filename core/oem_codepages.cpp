#include "core/oem_codepages.h"

#include <array>

#include "core/text.h"

namespace core {

namespace {

struct SingleBytePage {
    int number;
    std::array<char16_t, 128> high;        // code points of bytes 0x80..0xFF
    std::array<std::uint64_t, 4> letters;  // bit b: byte b is a letter
};

constexpr SingleBytePage kPages[] = {
#include "core/oem_codepages_data.inc"
};

const SingleBytePage* find(int codePage) {
    for (const SingleBytePage& p : kPages)
        if (p.number == codePage) return &p;
    return nullptr;
}

}  // namespace

bool hasSingleByteCodePage(int codePage) {
    return find(codePage) != nullptr;
}

std::string singleByteToUtf8(int codePage, std::string_view bytes) {
    const SingleBytePage* page = find(codePage);
    if (page == nullptr) page = find(1252);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        appendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{page->high[b - 0x80]});
    }
    return out;
}

bool isCodePageLetter(int codePage, std::uint8_t b) {
    const SingleBytePage* page = find(codePage);
    return page != nullptr && ((page->letters[b >> 6] >> (b & 63)) & 1U) != 0;
}

int ansiPairOf(int oemCodePage) {
    switch (oemCodePage) {
        case 437:
        case 850:
            return 1252;
        case 720:
            return 1256;
        case 737:
            return 1253;
        case 775:
            return 1257;
        case 852:
            return 1250;
        case 855:
        case 866:
            return 1251;
        case 857:
            return 1254;
        case 862:
            return 1255;
        default:
            return 0;
    }
}

}  // namespace core
