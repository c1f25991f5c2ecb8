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

bool wildcardMatch(std::string_view text, std::string_view pattern) {
    // Greedy match with one backtrack point: the last "*" seen and where its run ended.
    std::size_t t = 0, p = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
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
