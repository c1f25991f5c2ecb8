#include "trust/base64.h"

namespace trust {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string base64Encode(std::span<const std::uint8_t> data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::size_t n = data.size() - i < 3 ? data.size() - i : 3;
        std::uint32_t v = static_cast<std::uint32_t>(data[i]) << 16;
        if (n > 1) v |= static_cast<std::uint32_t>(data[i + 1]) << 8;
        if (n > 2) v |= data[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        out += n > 2 ? kAlphabet[v & 63] : '=';
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        // "xx==" and "xxx=" end the text; a pad anywhere else is not base64.
        const std::size_t pads = !last ? 0 : text[i + 3] != '=' ? 0 : text[i + 2] != '=' ? 1 : 2;
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int s = k < 4 - pads ? sextet(text[i + k]) : 0;
            if (s < 0) return std::nullopt;
            v = (v << 6) | static_cast<std::uint32_t>(s);
        }
        out.push_back(static_cast<std::uint8_t>(v >> 16));
        if (pads == 2) {
            if (v & 0xFFFF) return std::nullopt;
            break;
        }
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        if (pads == 1) {
            if (v & 0xFF) return std::nullopt;
            break;
        }
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

}  // namespace trust
