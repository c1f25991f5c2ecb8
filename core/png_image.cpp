#include "core/png_image.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "core/byte_cursor.h"

namespace core {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// PNG 5.3: a chunk's length is at most 2^31 - 1.
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;

Unexpected<PngFailure> failure(PngError kind, std::string message) {
    return fail(PngFailure{kind, std::move(message)});
}

struct Header {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t colourType = 0;
    unsigned channels = 0;  // samples a pixel (bit depth 8: bytes a pixel)
};

// PNG 11.2.2: colour types 0 (grey), 2 (RGB), 3 (palette), 4 (grey, alpha), 6 (RGBA).
std::optional<unsigned> channelsOf(std::uint8_t colourType) {
    switch (colourType) {
        case 0:
        case 3:
            return 1;
        case 2:
            return 3;
        case 4:
            return 2;
        case 6:
            return 4;
        default:
            return std::nullopt;
    }
}

Result<Header, PngFailure> readHeader(std::span<const std::byte> body) {
    if (body.size() != 13) return failure(PngError::BadHeader, "IHDR is not 13 bytes");
    ByteCursor c(body);
    Header h;
    h.width = c.u32be();
    h.height = c.u32be();
    const std::uint8_t depth = c.u8();
    h.colourType = c.u8();
    const std::uint8_t compression = c.u8();
    const std::uint8_t filter = c.u8();
    const std::uint8_t interlace = c.u8();
    if (h.width == 0 || h.height == 0 || h.width > kMaxChunkLength || h.height > kMaxChunkLength)
        return failure(PngError::BadHeader, "width or height outside 1..2^31-1");
    const std::optional<unsigned> channels = channelsOf(h.colourType);
    if (!channels)
        return failure(PngError::BadHeader, "colour type " + std::to_string(h.colourType));
    h.channels = *channels;
    if (compression != 0 || filter != 0 || interlace > 1)
        return failure(PngError::BadHeader, "unknown compression, filter or interlace method");
    if (depth != 8)
        return failure(PngError::Unsupported, "bit depth " + std::to_string(depth) + " (only 8)");
    if (interlace != 0) return failure(PngError::Unsupported, "interlaced image");
    if (std::uint64_t{h.width} * h.height > kMaxPngPixels)
        return failure(PngError::TooLarge,
                       std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels");
    return h;
}

// The image data of every IDAT chunk, inflated as they come into exactly the filtered rows.
class Inflater {
  public:
    explicit Inflater(std::size_t expected) : m_out(expected + 1) {
        m_initialised = inflateInit(&m_z) == Z_OK;
        m_ok = m_initialised;
        m_z.next_out = m_out.data();
        m_z.avail_out = static_cast<uInt>(m_out.size());
    }
    // A broken stream clears m_ok; its state is still zlib's to free.
    ~Inflater() {
        if (m_initialised) inflateEnd(&m_z);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // False once the stream is broken or yields more than the rows.
    bool feed(std::span<const std::byte> in) {
        if (!m_ok) return false;
        m_z.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(in.data()));
        m_z.avail_in = static_cast<uInt>(in.size());
        while (m_z.avail_in > 0 && !m_ended) {
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) m_ended = true;
            if (rc != Z_OK && rc != Z_STREAM_END) return m_ok = false;
            if (m_z.avail_out == 0) return m_ok = false;  // more data than the image holds
        }
        return true;
    }
    // The rows, when the stream ended with exactly their size.
    std::optional<std::vector<std::uint8_t>> rows() {
        if (!m_ok || !m_ended || m_z.total_out != m_out.size() - 1) return std::nullopt;
        m_out.pop_back();
        return std::move(m_out);
    }

  private:
    z_stream m_z{};
    std::vector<std::uint8_t> m_out;
    bool m_initialised = false;
    bool m_ok = false;
    bool m_ended = false;
};

std::uint8_t paeth(int a, int b, int c) {
    // PNG 9.4: the neighbour closest to a + b - c, ties in the order a, b, c.
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
    if (pb <= pc) return static_cast<std::uint8_t>(b);
    return static_cast<std::uint8_t>(c);
}

// PNG 9.2: each row starts with its filter type; bytes are reconstructed in place from the
// byte bpp to the left (a), the byte above (b) and the one above and to the left (c).
bool unfilter(const std::vector<std::uint8_t>& data, const Header& h,
              std::vector<std::uint8_t>& out) {
    const std::size_t bpp = h.channels;
    const std::size_t stride = std::size_t{h.width} * bpp;
    out.assign(stride * h.height, 0);
    for (std::size_t y = 0; y < h.height; ++y) {
        const std::uint8_t type = data[y * (stride + 1)];
        const std::uint8_t* in = &data[y * (stride + 1) + 1];
        std::uint8_t* row = &out[y * stride];
        const std::uint8_t* up = y > 0 ? &out[(y - 1) * stride] : nullptr;
        for (std::size_t i = 0; i < stride; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0;
            const int b = up ? up[i] : 0;
            const int c = up && i >= bpp ? up[i - bpp] : 0;
            int predictor = 0;
            switch (type) {
                case 0:
                    break;
                case 1:
                    predictor = a;
                    break;
                case 2:
                    predictor = b;
                    break;
                case 3:
                    predictor = (a + b) / 2;
                    break;
                case 4:
                    predictor = paeth(a, b, c);
                    break;
                default:
                    return false;
            }
            row[i] = static_cast<std::uint8_t>(in[i] + predictor);
        }
    }
    return true;
}

struct Palette {
    std::vector<std::array<std::uint8_t, 4>> entries;  // RGBA, alpha 255 unless tRNS says
};

// The decoded samples as RGBA. tRNS gives a palette's alphas or the one transparent colour.
std::vector<std::uint8_t> toRgba(const std::vector<std::uint8_t>& samples, const Header& h,
                                 const Palette& palette,
                                 const std::optional<std::array<std::uint16_t, 3>>& key) {
    const std::size_t pixels = std::size_t{h.width} * h.height;
    std::vector<std::uint8_t> rgba(pixels * 4);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* s = &samples[i * h.channels];
        std::uint8_t* d = &rgba[i * 4];
        switch (h.colourType) {
            case 0:
                d[0] = d[1] = d[2] = s[0];
                d[3] = key && (*key)[0] == s[0] ? 0 : 255;
                break;
            case 2:
                std::memcpy(d, s, 3);
                d[3] = key && (*key)[0] == s[0] && (*key)[1] == s[1] && (*key)[2] == s[2] ? 0 : 255;
                break;
            case 3: {
                // An index beyond the palette was checked before.
                const auto& e = palette.entries[s[0]];
                std::memcpy(d, e.data(), 4);
                break;
            }
            case 4:
                d[0] = d[1] = d[2] = s[0];
                d[3] = s[1];
                break;
            case 6:
                std::memcpy(d, s, 4);
                break;
        }
    }
    return rgba;
}

bool isCritical(std::string_view type) {
    return (static_cast<unsigned char>(type[0]) & 0x20) == 0;  // PNG 5.4: upper-case first letter
}

}  // namespace

Result<PngImage, PngFailure> decodePng(std::span<const std::byte> data) {
    ByteCursor c(data);
    const std::span<const std::byte> signature = c.bytes(kSignature.size());
    if (!c.ok() || std::memcmp(signature.data(), kSignature.data(), kSignature.size()) != 0)
        return failure(PngError::NotPng, "no PNG signature");

    std::optional<Header> header;
    std::optional<Inflater> inflater;
    Palette palette;
    std::optional<std::array<std::uint16_t, 3>> key;
    bool idatSeen = false;
    bool idatEnded = false;
    for (;;) {
        const std::size_t at = c.offset();
        const std::uint32_t length = c.u32be();
        const std::span<const std::byte> typeAndBody = c.ok() && length <= kMaxChunkLength &&
                                                               length <= c.remaining() &&
                                                               c.remaining() - length >= 4
                                                           ? c.bytes(std::size_t{length} + 4)
                                                           : std::span<const std::byte>();
        const std::uint32_t crc = c.u32be();
        if (!c.ok() || typeAndBody.empty())
            return failure(PngError::Truncated, "chunk at offset " + std::to_string(at));
        const std::string_view type(reinterpret_cast<const char*>(typeAndBody.data()), 4);
        const std::span<const std::byte> body = typeAndBody.subspan(4);
        const auto computed =
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typeAndBody.data()),
                                             static_cast<uInt>(typeAndBody.size())));
        if (computed != crc)
            return failure(PngError::BadCrc,
                           "chunk " + std::string(type) + " at offset " + std::to_string(at));

        if (!header) {
            if (type != "IHDR") return failure(PngError::BadHeader, "first chunk is not IHDR");
            auto h = readHeader(body);
            if (!h) return fail(h.error());
            header = *h;
            const std::size_t rows =
                std::size_t{header->height} * (std::size_t{header->width} * header->channels + 1);
            inflater.emplace(rows);
            continue;
        }
        if (idatSeen && type != "IDAT") idatEnded = true;
        if (type == "IEND") break;
        if (type == "IDAT") {
            if (idatEnded) return failure(PngError::BadData, "IDAT chunks are not consecutive");
            if (header->colourType == 3 && palette.entries.empty())
                return failure(PngError::BadHeader, "palette image without PLTE before IDAT");
            idatSeen = true;
            if (!inflater->feed(body))
                return failure(PngError::BadData, "image data do not inflate to the image's rows");
        } else if (type == "PLTE") {
            if (idatSeen || body.size() % 3 != 0 || body.empty() || body.size() > 256 * 3)
                return failure(PngError::BadHeader, "PLTE misplaced or of a bad size");
            palette.entries.clear();
            for (std::size_t i = 0; i < body.size(); i += 3)
                palette.entries.push_back({std::to_integer<std::uint8_t>(body[i]),
                                           std::to_integer<std::uint8_t>(body[i + 1]),
                                           std::to_integer<std::uint8_t>(body[i + 2]), 255});
        } else if (type == "tRNS") {
            ByteCursor t(body);
            if (header->colourType == 3) {
                if (body.size() > palette.entries.size())
                    return failure(PngError::BadHeader, "tRNS longer than the palette");
                for (std::size_t i = 0; i < body.size(); ++i)
                    palette.entries[i][3] = std::to_integer<std::uint8_t>(body[i]);
            } else if (header->colourType == 0 && body.size() == 2) {
                key = std::array<std::uint16_t, 3>{t.u16be(), 0, 0};
            } else if (header->colourType == 2 && body.size() == 6) {
                const std::uint16_t r = t.u16be(), g = t.u16be(), b = t.u16be();
                key = std::array<std::uint16_t, 3>{r, g, b};
            } else {
                return failure(PngError::BadHeader, "tRNS does not fit the colour type");
            }
        } else if (isCritical(type)) {
            return failure(PngError::Unsupported, "critical chunk " + std::string(type));
        }
    }
    if (!idatSeen) return failure(PngError::BadData, "no IDAT chunk");
    std::optional<std::vector<std::uint8_t>> rows = inflater->rows();
    if (!rows) return failure(PngError::BadData, "image data do not inflate to the image's rows");
    PngImage image;
    image.width = header->width;
    image.height = header->height;
    std::vector<std::uint8_t> samples;
    if (!unfilter(*rows, *header, samples)) return failure(PngError::BadData, "unknown row filter");
    if (header->colourType == 3)
        for (std::uint8_t index : samples)
            if (index >= palette.entries.size())
                return failure(PngError::BadData, "palette index beyond PLTE");
    image.rgba = toRgba(samples, *header, palette, key);
    return image;
}

}  // namespace core
