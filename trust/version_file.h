// The version file: lines of key, "|", value. "VE" names the latest version (the last such line
// counts). A signed release adds lines that an older reader skips as unknown keys:
//   SHA256|<64 hex digits>        the package's SHA-256
//   SIZE|<decimal>                the package's size in bytes
//   SEQ|<decimal>                 a number that grows from release to release
//   EXPIRES|yyyy-mm-ddThh:mm:ssZ  the moment (UTC) after which the file is no longer accepted
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "trust/crypto.h"

namespace trust {

struct VersionLine {
    std::string key;
    std::string value;
};

// The lines as the updater has always read them: the body decoded (by its byte-order mark, else
// Windows-1252), split at CR LF, LF or CR, each line trimmed (codes up to U+0020), blank lines
// dropped, split at the first "|" (the key keeps a blank before it), the value trimmed.
std::vector<VersionLine> readVersionLines(std::string_view body);
// The value of the last "VE" line; nothing when there is none.
std::optional<std::string> latestVersionId(std::string_view body);

struct ReleaseFields {
    std::optional<std::string> vid;
    std::optional<Digest> sha256;
    std::optional<std::uint64_t> size;
    std::optional<std::uint64_t> seq;
    std::optional<std::int64_t> expires;  // seconds since 1970-01-01T00:00:00Z
};

struct FieldError {
    enum class Kind { Repeated, Malformed };
    Kind kind = Kind::Malformed;
    std::string key;
    std::string value;
    // "SEQ|abc" for a malformed value, "SEQ ripetuto" for a second line.
    std::string describe() const;
};

// The release lines of a version file. A second SHA256, SIZE, SEQ or EXPIRES line, or a value
// not in its form, is an error: the publisher signs one meaning, never a choice between two.
core::Result<ReleaseFields, FieldError> readReleaseFields(std::string_view body);

// "yyyy-mm-ddThh:mm:ssZ" (RFC 3339, UTC, no fraction, years 1970 to 9999, seconds 00 to 59).
std::optional<std::int64_t> parseUtcTime(std::string_view text);
std::string formatUtcTime(std::int64_t seconds);

std::string hexDigest(const Digest& d);

}  // namespace trust
