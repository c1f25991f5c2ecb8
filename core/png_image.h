// decodePng: a PNG file (ISO/IEC 15948, the W3C PNG recommendation) into 8-bit RGBA pixels,
// for the window's pictures. Non-interlaced images of bit depth 8 in every colour type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/result.h"

namespace core {

struct PngImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Row after row from the top, 4 bytes a pixel: red, green, blue, alpha (not premultiplied).
    std::vector<std::uint8_t> rgba;
};

enum class PngError {
    NotPng,       // no PNG signature
    Truncated,    // the file ends inside a chunk or before IEND
    BadCrc,       // a chunk's CRC does not match its type and data
    BadHeader,    // IHDR missing, misplaced or with values outside the format
    Unsupported,  // a valid file this reader does not decode (interlace, bit depth, a critical
                  // chunk)
    BadData,      // the image data do not inflate to exactly the image's filtered rows
    TooLarge,     // more pixels than kMaxPngPixels
};

struct PngFailure {
    PngError kind;
    std::string message;
};

// Bounds what a file may make us allocate: 4096 x 4096.
inline constexpr std::uint64_t kMaxPngPixels = 4096u * 4096u;

Result<PngImage, PngFailure> decodePng(std::span<const std::byte> data);

}  // namespace core
