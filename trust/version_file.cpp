#include "trust/version_file.h"

#include <chrono>
#include <cstdio>

#include "core/text.h"

namespace trust {
namespace {

namespace chr = std::chrono;

constexpr std::int64_t kMaxDecimal = INT64_MAX;

std::optional<std::uint64_t> parseDecimal(std::string_view s) {
    if (s.empty() || s.size() > 19) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v > static_cast<std::uint64_t>(kMaxDecimal)) return std::nullopt;
    return v;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<Digest> parseHexDigest(std::string_view s) {
    if (s.size() != 2 * kSha256Bytes) return std::nullopt;
    Digest d{};
    for (std::size_t i = 0; i < d.size(); ++i) {
        const int hi = hexValue(s[2 * i]);
        const int lo = hexValue(s[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        d[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return d;
}

// Digits at [pos, pos + n) as a number, or -1.
int digits(std::string_view s, std::size_t pos, std::size_t n) {
    int v = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

template <class T>
bool setOnce(std::optional<T>& field, std::optional<T> value, const VersionLine& line,
             FieldError& error) {
    if (field) {
        error = {FieldError::Kind::Repeated, line.key, line.value};
        return false;
    }
    if (!value) {
        error = {FieldError::Kind::Malformed, line.key, line.value};
        return false;
    }
    field = std::move(value);
    return true;
}

}  // namespace

std::vector<VersionLine> readVersionLines(std::string_view body) {
    std::vector<VersionLine> lines;
    if (body.empty()) return lines;
    for (const std::string& raw : core::splitLines(core::decodeText(body))) {
        std::string value = core::Trim(raw);
        if (value.empty()) continue;
        std::string key = core::SplitAt(value, '|');
        lines.push_back({std::move(key), core::Trim(value)});
    }
    return lines;
}

std::optional<std::string> latestVersionId(std::string_view body) {
    std::optional<std::string> vid;
    for (VersionLine& l : readVersionLines(body))
        if (l.key == "VE") vid = std::move(l.value);
    return vid;
}

std::string FieldError::describe() const {
    if (kind == Kind::Repeated) return key + " ripetuto";
    return key + "|" + value;
}

core::Result<ReleaseFields, FieldError> readReleaseFields(std::string_view body) {
    ReleaseFields f;
    FieldError error;
    for (VersionLine& l : readVersionLines(body)) {
        bool ok = true;
        if (l.key == "VE")
            f.vid = l.value;
        else if (l.key == "SHA256")
            ok = setOnce(f.sha256, parseHexDigest(l.value), l, error);
        else if (l.key == "SIZE")
            ok = setOnce(f.size, parseDecimal(l.value), l, error);
        else if (l.key == "SEQ")
            ok = setOnce(f.seq, parseDecimal(l.value), l, error);
        else if (l.key == "EXPIRES")
            ok = setOnce(f.expires, parseUtcTime(l.value), l, error);
        if (!ok) return core::fail(error);
    }
    return f;
}

std::optional<std::int64_t> parseUtcTime(std::string_view s) {
    // yyyy-mm-ddThh:mm:ssZ
    // 0123456789012345678 9
    if (s.size() != 20 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' ||
        s[16] != ':' || s[19] != 'Z')
        return std::nullopt;
    const int y = digits(s, 0, 4), mo = digits(s, 5, 2), d = digits(s, 8, 2);
    const int h = digits(s, 11, 2), mi = digits(s, 14, 2), se = digits(s, 17, 2);
    if (y < 1970 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59)
        return std::nullopt;
    const chr::year_month_day date{chr::year(y), chr::month(static_cast<unsigned>(mo)),
                                   chr::day(static_cast<unsigned>(d))};
    if (!date.ok()) return std::nullopt;
    const std::int64_t days = chr::sys_days(date).time_since_epoch().count();
    return days * 86400 + h * 3600 + mi * 60 + se;
}

std::string formatUtcTime(std::int64_t seconds) {
    const std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const std::int64_t rest = seconds - days * 86400;
    const chr::year_month_day date{chr::sys_days(chr::days(days))};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60));
    return buf;
}

std::string hexDigest(const Digest& d) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : d) {
        s += kHex[b >> 4];
        s += kHex[b & 15];
    }
    return s;
}

}  // namespace trust
