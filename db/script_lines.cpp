#include "db/script_lines.h"

#include <iterator>

#include "core/text.h"
#include "db/errors.h"
#include "host/platform/file_names.h"

namespace db {

void TScriptLines::Clear() {
    m_lines.clear();
    m_onChange();
}

void TScriptLines::Add(std::string_view line) {
    m_lines.emplace_back(line);
    m_onChange();
}

void TScriptLines::SetText(std::string_view text) {
    m_lines = core::splitLines(text);
    m_onChange();
}

void TScriptLines::LoadFromFile(const std::string& fileName) {
    const std::optional<std::string> bytes = host::readWholeFile(fileName);
    if (!bytes) throw EFOpenError("Cannot open file \"" + fileName + "\"");
    SetText(core::decodeText(*bytes));
}

std::string TScriptLines::Text() const {
    std::size_t size = 0;
    for (const std::string& l : m_lines) size += l.size() + 2;
    std::string out;
    out.reserve(size);
    for (const std::string& l : m_lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

}  // namespace db
