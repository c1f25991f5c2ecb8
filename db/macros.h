// TMacro and TMacros: "&name" references in query and script texts, found by the lexer
// (never inside quotes or comments) and replaced by text values before a statement is sent.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/result.h"
#include "db/lexer.h"

namespace db {

struct TMacro {
    std::string Name;
    std::string Value;   // inserted as it is: no quoting, no escaping, no added blanks
    bool Active = true;  // an inactive macro expands to nothing
};

class TMacros {
  public:
    // Rebuilds the list from `text`: one macro per distinct name (letter case ignored), in
    // order of first appearance. Macros that survive keep their object, Value and Active.
    // On a lexer failure the macros named before the failing character are kept and the
    // error is returned; the owner reports it where its text is parsed for use.
    core::Result<void, LexError> Scan(std::string_view text);

    // `text` with every reference replaced: an active macro by its Value, an inactive or
    // unknown one by nothing; "&" before anything but a name stays as written.
    core::Result<std::string, LexError> Expand(std::string_view text) const;

    // The macro of that name (letter case ignored), or nullptr.
    TMacro* FindMacro(std::string_view name) const;
    // As FindMacro, but an unknown name raises EDatabaseError "Macro NAME not found", behind
    // "COMPONENT: " when a component name is given.
    TMacro& MacroByName(std::string_view name, std::string_view component = {}) const;

    int Count() const { return static_cast<int>(m_items.size()); }
    TMacro& operator[](int i) const { return *m_items[static_cast<std::size_t>(i)]; }
    void Clear() {
        m_items.clear();
        m_index.clear();
    }

  private:
    std::vector<std::unique_ptr<TMacro>> m_items;
    std::unordered_map<std::string, TMacro*> m_index;  // by lower-case name
};

}  // namespace db
