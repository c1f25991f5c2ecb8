#include "host/profile.h"

#include <cstdio>

#include "core/text.h"
#include "host/platform/file_names.h"

namespace host {
namespace {

// The profile API skips blanks (space and tab) around names and values; a line break cannot
// occur inside a line and CR of a lone-CR file has already split it.
std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string_view stripMatchingQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

ProfileFile ProfileFile::Load(const std::string& fileName) {
    // A folder in the file's place reads as a missing file.
    const std::optional<std::string> bytes = readWholeFile(fileName);
    if (!bytes) return {};
    return Parse(core::decodeText(*bytes));
}

ProfileFile ProfileFile::Parse(std::string_view text) {
    ProfileFile file;
    Section* current = nullptr;  // entries before the first section belong to none
    for (const std::string& raw : core::splitLines(text)) {
        std::string_view line = trimBlanks(raw);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            // "[name]" with anything after the "]" ignored; a missing "]" takes the rest.
            auto close = line.find(']');
            file.m_sections.push_back({std::string(trimBlanks(line.substr(1, close - 1))), {}});
            current = &file.m_sections.back();
            continue;
        }
        if (!current) continue;
        auto eq = line.find('=');
        // A line without "=" names a key whose value is empty.
        std::string_view key = trimBlanks(line.substr(0, eq));
        std::string_view value =
            eq == std::string_view::npos ? "" : trimBlanks(line.substr(eq + 1));
        if (!key.empty()) current->entries.push_back({std::string(key), std::string(value)});
    }
    return file;
}

std::optional<std::string> ProfileFile::Find(std::string_view section, std::string_view key) const {
    for (const Section& s : m_sections) {
        if (!core::equalsNoCaseAscii(s.name, section)) continue;
        // Only the first section of that name is searched, as the profile API does.
        for (const Entry& e : s.entries)
            if (core::equalsNoCaseAscii(e.key, key))
                return CutToCharacters(stripMatchingQuotes(e.value), kProfileValueMax);
        return std::nullopt;
    }
    return std::nullopt;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
    if (auto v = Find(section, key)) return *v;
    // The profile API strips trailing blanks from the default.
    while (!defaultValue.empty() && (defaultValue.back() == ' ' || defaultValue.back() == '\t'))
        defaultValue.remove_suffix(1);
    return CutToCharacters(defaultValue, kProfileValueMax);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& fileName) {
    return ProfileFile::Load(fileName).GetString(section, key, defaultValue);
}

std::string CutToCharacters(std::string_view utf8, std::size_t limit) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        // A character starts at every byte that is not a continuation byte (10xxxxxx).
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && chars++ == limit)
            return std::string(utf8.substr(0, i));
    }
    return std::string(utf8);
}

}  // namespace host
