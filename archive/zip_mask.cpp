#include "archive/zip_mask.h"

#include <string>

#include "core/text.h"

namespace archive {

namespace {

std::string normalise(std::string_view s) {
    std::string out = core::asciiUpper(s);
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

// Splits "A\B\C.TXT" into "A\B" and "C.TXT".
std::pair<std::string_view, std::string_view> splitFolder(std::string_view s) {
    const std::size_t cut = s.rfind('\\');
    if (cut == std::string_view::npos) return {{}, s};
    return {s.substr(0, cut), s.substr(cut + 1)};
}

bool matchName(std::string_view name, std::string_view pattern) {
    if (pattern == "*.*" || pattern == "*") return !name.empty();
    return wildcardMatch(name, pattern);
}

bool matchPart(std::string_view entry, std::string_view part) {
    const auto [entryFolder, entryName] = splitFolder(entry);
    const auto [maskFolder, maskName] = splitFolder(part);
    if (part.find('\\') != std::string_view::npos && !wildcardMatch(entryFolder, maskFolder))
        return false;
    return matchName(entryName, maskName);
}

}  // namespace

namespace {

// Bytes of the UTF-8 character that starts at `at`: a lead byte's count, or 1 for ASCII and for
// a stray byte, never running past the end.
std::size_t charLength(std::string_view s, std::size_t at) {
    const auto lead = static_cast<unsigned char>(s[at]);
    std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t len = 1;
    while (len < n && at + len < s.size() &&
           (static_cast<unsigned char>(s[at + len]) & 0xC0) == 0x80)
        ++len;
    return len;
}

}  // namespace

bool wildcardMatch(std::string_view text, std::string_view pattern) {
    // Greedy match with one backtrack point: the last "*" seen and where its run ended. "?" and
    // the run of a "*" step over whole characters, so a name is never matched half a character
    // at a time.
    std::size_t t = 0, p = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '?') {
            t += charLength(text, t);
            ++p;
        } else if (p < pattern.size() && pattern[p] != '*' && pattern[p] == text[t]) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starT += charLength(text, starT);
            t = starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool matchesMask(std::string_view entryName, std::string_view mask) {
    std::string entry = normalise(entryName);
    if (!entry.empty() && entry.back() == '\\') entry.pop_back();
    std::string rest(mask);
    while (!rest.empty()) {
        const std::string part = normalise(core::Trim(core::SplitAt(rest, ';')));
        if (!part.empty() && matchPart(entry, part)) return true;
    }
    return false;
}

}  // namespace archive
