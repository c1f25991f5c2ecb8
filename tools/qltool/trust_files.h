// File reading and writing shared by the publisher's commands (keygen, sign, verify).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "host/platform/file_names.h"
namespace qltool {

// The whole file, at most `limit` bytes; nothing when it cannot be read or is larger.
inline std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(host::fsPath(path), ec)) return std::nullopt;
    std::optional<std::string> text = host::readWholeFile(path, limit + 1);
    if (text && text->size() > limit) return std::nullopt;
    return text;
}

// Writes `path` in one step: a new file beside it renamed over it.
inline bool replaceFile(const std::string& path, const std::string& bytes) {
    const std::string fresh = path + ".new";
    if (!host::writeWholeFile(fresh, bytes)) return false;
    std::error_code ec;
    std::filesystem::rename(host::fsPath(fresh), host::fsPath(path), ec);
    if (ec) std::filesystem::remove(host::fsPath(fresh), ec);
    return !ec;
}

// Version files, keys and signatures are small; larger files are refused as not theirs.
inline constexpr std::size_t kMaxVersionFileBytes = 1 << 20;
inline constexpr std::size_t kMaxKeyFileBytes = 4096;

}  // namespace qltool
