// RFC 6265 5.1.1: a cookie date is read token by token, the first time, day of month, month
// and year found deciding; anything else in it is ignored.
#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>

#include "core/text.h"
#include "net/cookies.h"

namespace net {

namespace {

bool isDelimiter(char c) {
    auto u = static_cast<unsigned char>(c);
    return u == 0x09 || (u >= 0x20 && u <= 0x2F) || (u >= 0x3B && u <= 0x40) ||
           (u >= 0x5B && u <= 0x60) || (u >= 0x7B && u <= 0x7E);
}

// Leading digits (1..max of them) of a token; -1 when there are none or too many.
int leadingNumber(std::string_view t, std::size_t minDigits, std::size_t maxDigits,
                  std::size_t* used) {
    std::size_t n = 0;
    int v = 0;
    while (n < t.size() && std::isdigit(static_cast<unsigned char>(t[n])))
        v = v * 10 + (t[n++] - '0');
    if (n < minDigits || n > maxDigits) return -1;
    *used = n;
    return v;
}

bool parseTime(std::string_view t, int& h, int& m, int& s) {
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        std::size_t used = 0;
        parts[i] = leadingNumber(t, 1, 2, &used);
        if (parts[i] < 0) return false;
        t.remove_prefix(used);
        if (i < 2) {
            if (t.empty() || t.front() != ':') return false;
            t.remove_prefix(1);
        }
    }
    h = parts[0], m = parts[1], s = parts[2];
    return true;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097LL + doe - 719468;
}

}  // namespace

std::optional<CookieClock::time_point> parseCookieDate(std::string_view text) {
    static constexpr std::array<const char*, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isDelimiter(text[i])) ++i;
        std::size_t start = i;
        while (i < text.size() && !isDelimiter(text[i])) ++i;
        std::string_view token = text.substr(start, i - start);
        if (token.empty()) continue;
        std::size_t used = 0;
        if (!haveTime && parseTime(token, hour, minute, second)) {
            haveTime = true;
        } else if (!haveDay && (day = leadingNumber(token, 1, 2, &used)) >= 0) {
            haveDay = true;
        } else if (!haveMonth && token.size() >= 3) {
            std::string m = core::asciiLower(token.substr(0, 3));
            for (int k = 0; k < 12; ++k) {
                if (m == kMonths[k]) {
                    month = k + 1;
                    haveMonth = true;
                }
            }
            if (!haveMonth && !haveYear && (year = leadingNumber(token, 2, 4, &used)) >= 0)
                haveYear = true;
        } else if (!haveYear && (year = leadingNumber(token, 2, 4, &used)) >= 0) {
            haveYear = true;
        }
    }
    if (!haveTime || !haveDay || !haveMonth || !haveYear) return std::nullopt;
    if (year >= 70 && year <= 99) year += 1900;
    if (year >= 0 && year <= 69) year += 2000;
    if (day < 1 || day > 31 || year < 1601 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    // The clock counts nanoseconds in 64 bits, from 1678 to 2262: years outside are held
    // inside (a date before 1970 is in the past either way).
    year = std::clamp(year, 1700, 2200);
    long long secs = daysFromCivil(year, month, day) * 86400LL + hour * 3600 + minute * 60 + second;
    return CookieClock::time_point(std::chrono::seconds(secs));
}

}  // namespace net
