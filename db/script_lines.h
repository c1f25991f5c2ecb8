// TScriptLines: a script's text as a list of lines (the SQL property of TMyScript). Every
// change is reported to the owner, which rescans its macros and drops its statements.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class TScriptLines {
  public:
    explicit TScriptLines(std::function<void()> onChange) : m_onChange(std::move(onChange)) {}

    void Clear();
    void Add(std::string_view line);
    // Replaces the lines by those of `text` (split at CR LF, LF or CR).
    void SetText(std::string_view text);
    // Reads a file: UTF-8 or UTF-16 with a byte-order mark, otherwise Windows-1252. A file
    // that cannot be read raises EFOpenError.
    void LoadFromFile(const std::string& fileName);

    int Count() const { return static_cast<int>(m_lines.size()); }
    const std::string& operator[](int i) const { return m_lines[static_cast<std::size_t>(i)]; }
    // The lines joined with CR LF, each followed by one (as a list of lines gives its text).
    std::string Text() const;

  private:
    std::vector<std::string> m_lines;
    std::function<void()> m_onChange;
};

}  // namespace db
