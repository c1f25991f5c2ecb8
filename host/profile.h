// Reading an INI file the way the Windows profile API does (GetPrivateProfileString): names
// without regard to case, first match wins, blanks and matching quotes dropped, 2047-char cut.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// The profile API reads into a buffer of 2048 characters, one of them the terminator.
inline constexpr std::size_t kProfileValueMax = 2047;

class ProfileFile {
  public:
    // A file that cannot be read reads as one without sections. The bytes are decoded by their
    // BOM (UTF-8, UTF-16LE/BE) or as Windows-1252.
    static ProfileFile Load(const std::string& fileName);
    static ProfileFile Parse(std::string_view text);

    // The value as the profile API gives it, or nothing when the section or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

  private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    std::vector<Section> m_sections;
};

// One look-up in one file, as GetPrivateProfileStringW(section, key, default, buf, 2048, file).
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& fileName);

// Keeps at most `limit` characters (code points) of a UTF-8 text.
std::string CutToCharacters(std::string_view utf8, std::size_t limit);

}  // namespace host
