// File reading and writing shared by the publisher's commands (keygen, sign, verify).
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace qltool {

// The whole file, at most `limit` bytes; nothing when it cannot be read or is larger.
inline std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string text(limit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit + 1));
    if (in.bad() || static_cast<std::size_t>(in.gcount()) > limit) return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// Writes `path` in one step: a new file beside it renamed over it.
inline bool replaceFile(const std::string& path, const std::string& bytes) {
    const std::string fresh = path + ".new";
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out << bytes;
        out.close();
        if (!out) return false;
    }
    std::error_code ec;
    std::filesystem::rename(fresh, path, ec);
    if (ec) std::filesystem::remove(fresh, ec);
    return !ec;
}

// Version files, keys and signatures are small; larger files are refused as not theirs.
inline constexpr std::size_t kMaxVersionFileBytes = 1 << 20;
inline constexpr std::size_t kMaxKeyFileBytes = 4096;

}  // namespace qltool
