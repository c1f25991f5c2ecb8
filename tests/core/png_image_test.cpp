// decodePng: row filters worked out by hand from the format's definitions, every colour type
// with and without transparency, malformed files, and the window's own pictures.
#include "core/png_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_cursor.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void putU32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

std::string chunk(const std::string& type, const std::string& body) {
    std::string out;
    putU32(out, static_cast<std::uint32_t>(body.size()));
    const std::string typed = type + body;
    out += typed;
    putU32(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                 static_cast<uInt>(typed.size()))));
    return out;
}

std::string ihdr(std::uint32_t w, std::uint32_t h, int colourType, int depth = 8,
                 int interlace = 0) {
    std::string body;
    putU32(body, w);
    putU32(body, h);
    body += static_cast<char>(depth);
    body += static_cast<char>(colourType);
    body += std::string(2, '\0');
    body += static_cast<char>(interlace);
    return chunk("IHDR", body);
}

std::string deflated(const Bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, raw.data(),
             static_cast<uLong>(raw.size()));
    out.resize(size);
    return out;
}

const std::string kSignature("\x89PNG\r\n\x1A\n", 8);

// A file of the header, the extra chunks before the data, the data in one IDAT, and IEND.
std::string png(const std::string& header, const std::string& before, const Bytes& rows) {
    return kSignature + header + before + chunk("IDAT", deflated(rows)) + chunk("IEND", "");
}

core::Result<core::PngImage, core::PngFailure> decode(const std::string& file) {
    return core::decodePng(core::asBytes(file));
}

std::string text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

TEST(PngImage, RowFiltersAsTheFormatDefinesThem) {
    // Grey, one byte a pixel, so the byte to the left is the pixel to the left.
    struct Case {
        const char* name;
        std::uint32_t width;
        Bytes rows;  // each row: filter type, then the filtered bytes
        Bytes grey;  // the reconstructed samples
    };
    const Case cases[] = {
        {"none, sub (wrapping), up, average",
         3,
         {0, 10, 20, 30, 1, 5, 5, 250, 2, 1, 2, 3, 3, 10, 10, 10},
         {10, 20, 30, 5, 10, 4, 6, 12, 7, 13, 22, 24}},
        // Paeth picks b (pb = 0), then a (pa = 0), then c (pc = 0).
        {"paeth", 3, {0, 100, 55, 60, 4, 166, 40, 1}, {100, 55, 60, 10, 50, 56}},
        {"paeth on the first row is sub", 3, {4, 7, 1, 1}, {7, 8, 9}},
    };
    for (const Case& c : cases) {
        const auto height = static_cast<std::uint32_t>(c.grey.size() / c.width);
        auto image = decode(png(ihdr(c.width, height, 0), "", c.rows));
        ASSERT_TRUE(image.ok()) << c.name << ": " << image.error().message;
        ASSERT_EQ(image->rgba.size(), c.grey.size() * 4) << c.name;
        for (std::size_t i = 0; i < c.grey.size(); ++i) {
            EXPECT_EQ(image->rgba[i * 4], c.grey[i]) << c.name << " sample " << i;
            EXPECT_EQ(image->rgba[i * 4 + 3], 255) << c.name << " sample " << i;
        }
    }
}

TEST(PngImage, ColourTypesAndTransparency) {
    struct Case {
        const char* name;
        int colourType;
        std::string before;  // PLTE, tRNS
        Bytes row;           // one row of two pixels, filter 0 first
        Bytes rgba;
    };
    const Case cases[] = {
        {"grey", 0, "", {0, 9, 200}, {9, 9, 9, 255, 200, 200, 200, 255}},
        {"grey with a key",
         0,
         chunk("tRNS", text({0, 200})),
         {0, 9, 200},
         {9, 9, 9, 255, 200, 200, 200, 0}},
        {"rgb", 2, "", {0, 1, 2, 3, 4, 5, 6}, {1, 2, 3, 255, 4, 5, 6, 255}},
        {"rgb with a key",
         2,
         chunk("tRNS", text({0, 1, 0, 2, 0, 3})),
         {0, 1, 2, 3, 4, 5, 6},
         {1, 2, 3, 0, 4, 5, 6, 255}},
        // A key of 16 bits that no 8-bit sample equals makes nothing transparent.
        {"rgb with a key above 255",
         2,
         chunk("tRNS", text({1, 1, 0, 2, 0, 3})),
         {0, 1, 2, 3, 4, 5, 6},
         {1, 2, 3, 255, 4, 5, 6, 255}},
        {"palette",
         3,
         chunk("PLTE", text({10, 20, 30, 40, 50, 60})),
         {0, 1, 0},
         {40, 50, 60, 255, 10, 20, 30, 255}},
        {"palette, tRNS shorter than it",
         3,
         chunk("PLTE", text({10, 20, 30, 40, 50, 60})) + chunk("tRNS", text({7})),
         {0, 1, 0},
         {40, 50, 60, 255, 10, 20, 30, 7}},
        {"grey and alpha", 4, "", {0, 9, 1, 200, 2}, {9, 9, 9, 1, 200, 200, 200, 2}},
        {"rgba", 6, "", {0, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"an unknown ancillary chunk is skipped",
         6,
         chunk("teXt", "anything"),
         {0, 1, 2, 3, 4, 5, 6, 7, 8},
         {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Case& c : cases) {
        auto image = decode(png(ihdr(2, 1, c.colourType), c.before, c.row));
        ASSERT_TRUE(image.ok()) << c.name << ": " << image.error().message;
        EXPECT_EQ(image->width, 2u) << c.name;
        EXPECT_EQ(image->height, 1u) << c.name;
        EXPECT_EQ(image->rgba, c.rgba) << c.name;
    }
}

TEST(PngImage, ImageDataSplitOverSeveralChunks) {
    const std::string data = deflated({0, 1, 2, 3, 4, 0, 5, 6, 7, 8});
    std::string file = kSignature + ihdr(1, 2, 6);
    for (char byte : data) file += chunk("IDAT", std::string(1, byte));
    file += chunk("IEND", "");
    auto image = decode(file);
    ASSERT_TRUE(image.ok()) << image.error().message;
    EXPECT_EQ(image->rgba, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(PngImage, MalformedFilesFailWithTheirReason) {
    const Bytes row = {0, 1, 2, 3, 4};
    const std::string good = png(ihdr(1, 1, 6), "", row);
    std::string badCrc = good;
    badCrc[kSignature.size() + 8] ^= 1;  // a bit of IHDR's width
    struct Case {
        const char* name;
        std::string file;
        core::PngError kind;
    };
    using core::PngError;
    const Case cases[] = {
        {"empty", "", PngError::NotPng},
        {"another format", "GIF89a\x01\x00\x01\x00", PngError::NotPng},
        {"a CRC that does not match", badCrc, PngError::BadCrc},
        {"no IHDR first", kSignature + chunk("IDAT", deflated(row)) + chunk("IEND", ""),
         PngError::BadHeader},
        {"IHDR of 12 bytes", kSignature + chunk("IHDR", std::string(12, '\1')),
         PngError::BadHeader},
        {"width 0", png(ihdr(0, 1, 6), "", row), PngError::BadHeader},
        {"colour type 5", png(ihdr(1, 1, 5), "", row), PngError::BadHeader},
        {"bit depth 16", png(ihdr(1, 1, 6, 16), "", row), PngError::Unsupported},
        {"interlaced", png(ihdr(1, 1, 6, 8, 1), "", row), PngError::Unsupported},
        {"unknown interlace method", png(ihdr(1, 1, 6, 8, 2), "", row), PngError::BadHeader},
        {"more pixels than allowed", png(ihdr(5000, 5000, 6), "", row), PngError::TooLarge},
        {"rows missing", png(ihdr(1, 2, 6), "", row), PngError::BadData},
        {"more data than rows", png(ihdr(1, 1, 6), "", {0, 1, 2, 3, 4, 0, 1, 2, 3, 4}),
         PngError::BadData},
        {"not a zlib stream",
         kSignature + ihdr(1, 1, 6) + chunk("IDAT", "garbage!") + chunk("IEND", ""),
         PngError::BadData},
        {"filter type 5", png(ihdr(1, 1, 6), "", {5, 1, 2, 3, 4}), PngError::BadData},
        {"no IDAT", kSignature + ihdr(1, 1, 6) + chunk("IEND", ""), PngError::BadData},
        {"IDAT chunks apart",
         kSignature + ihdr(1, 1, 6) + chunk("IDAT", deflated(row)) + chunk("teXt", "x") +
             chunk("IDAT", "") + chunk("IEND", ""),
         PngError::BadData},
        {"palette image without PLTE", png(ihdr(2, 1, 3), "", {0, 0, 0}), PngError::BadHeader},
        {"palette index beyond PLTE", png(ihdr(2, 1, 3), chunk("PLTE", text({1, 2, 3})), {0, 0, 1}),
         PngError::BadData},
        {"tRNS longer than the palette",
         png(ihdr(2, 1, 3), chunk("PLTE", text({1, 2, 3})) + chunk("tRNS", text({1, 2})),
             {0, 0, 0}),
         PngError::BadHeader},
        {"tRNS of the wrong size", png(ihdr(1, 1, 2), chunk("tRNS", text({0, 1})), {0, 1, 2, 3}),
         PngError::BadHeader},
        {"an unknown critical chunk", png(ihdr(1, 1, 6), chunk("ZZZZ", ""), row),
         PngError::Unsupported},
        {"a length beyond the file", kSignature + std::string("\x00\x00\x10\x00IHDR", 8),
         PngError::Truncated},
        {"a length of 2^31", kSignature + std::string("\x80\x00\x00\x00IHDR", 8),
         PngError::Truncated},
    };
    for (const Case& c : cases) {
        auto image = decode(c.file);
        ASSERT_FALSE(image.ok()) << c.name;
        EXPECT_EQ(image.error().kind, c.kind) << c.name << ": " << image.error().message;
    }
    // Every cut of a good file fails; none reads past what it was given.
    for (std::size_t n = 0; n < good.size(); ++n) {
        const std::string cut = good.substr(0, n);
        auto image = core::decodePng(core::asBytes(cut));
        ASSERT_FALSE(image.ok()) << "cut at " << n;
        const core::PngError expected =
            n < kSignature.size() ? PngError::NotPng : PngError::Truncated;
        EXPECT_EQ(image.error().kind, expected) << "cut at " << n;
    }
}

TEST(PngImage, TheWindowsPictures) {
    struct Case {
        const char* file;
        std::uint32_t width, height;
        bool transparentCorner;
    };
    const Case cases[] = {{"ok.png", 16, 16, true},
                          {"alert.png", 16, 16, true},
                          {"update.png", 128, 128, true},
                          {"logo.png", 112, 30, false}};
    for (const Case& c : cases) {
        const std::string file =
            testsupport::readFile(testsupport::sourceDir() + "/ui/pictures/" + c.file);
        auto image = decode(file);
        ASSERT_TRUE(image.ok()) << c.file << ": " << image.error().message;
        EXPECT_EQ(image->width, c.width) << c.file;
        EXPECT_EQ(image->height, c.height) << c.file;
        EXPECT_EQ(image->rgba[3], c.transparentCorner ? 0 : 255) << c.file;
        // The middle of every picture is drawn.
        const std::size_t middle = (std::size_t{c.height} / 2 * c.width + c.width / 2) * 4;
        EXPECT_EQ(image->rgba[middle + 3], 255) << c.file;
    }
}

}  // namespace
