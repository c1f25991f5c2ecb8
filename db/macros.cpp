#include "db/macros.h"

#include <unordered_map>
#include <unordered_set>

#include "core/text.h"
#include "db/errors.h"

namespace db {
namespace {

bool isName(const Lexeme& lx) {
    return lx.kind == LexemeKind::Identifier || lx.kind == LexemeKind::Keyword;
}

// A backquoted identifier is an identifier lexeme too, but "&`x`" names no macro: a macro
// name is a plain word.
bool isMacroName(const Lexeme& lx) {
    return isName(lx) && !lx.text.starts_with('`');
}

}  // namespace

core::Result<void, LexError> TMacros::Scan(std::string_view text) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;  // lower-case forms of `names`
    core::Result<void, LexError> status;
    if (text.find('&') != std::string_view::npos) {
        TMyParser parser(text);
        bool afterAmpersand = false;
        Lexeme lx;
        for (;;) {
            if (!parser.next(lx)) {
                status = core::fail(parser.error());
                break;
            }
            if (lx.kind == LexemeKind::End) break;
            if (afterAmpersand && isMacroName(lx) && seen.insert(core::asciiLower(lx.text)).second)
                names.emplace_back(lx.text);
            afterAmpersand = lx.kind == LexemeKind::Symbol && lx.is("&");
        }
    }

    bool same = names.size() == m_items.size();
    for (std::size_t i = 0; same && i < names.size(); ++i) same = m_items[i]->Name == names[i];
    if (same) return status;

    // Survivors keep their objects (callers may hold them), values and Active flags.
    std::unordered_map<std::string, std::unique_ptr<TMacro>> old;
    for (auto& m : m_items) old.emplace(core::asciiLower(m->Name), std::move(m));
    m_items.clear();
    m_index.clear();
    for (std::string& name : names) {
        std::string key = core::asciiLower(name);
        auto it = old.find(key);
        std::unique_ptr<TMacro> m =
            it != old.end() ? std::move(it->second) : std::make_unique<TMacro>();
        m->Name = std::move(name);
        m_index.emplace(std::move(key), m.get());
        m_items.push_back(std::move(m));
    }
    return status;
}

core::Result<std::string, LexError> TMacros::Expand(std::string_view text) const {
    if (text.find('&') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    TMyParser parser(text);
    bool pendingAmpersand = false;  // an "&" symbol read but not yet written
    for (;;) {
        auto r = parser.next();
        if (!r) return core::fail(r.error());
        const Lexeme& lx = *r;
        if (pendingAmpersand) {
            pendingAmpersand = false;
            if (isMacroName(lx)) {
                const TMacro* m = FindMacro(lx.text);
                if (m && m->Active) out += m->Value;
                continue;
            }
            out += '&';
        }
        if (lx.kind == LexemeKind::End) break;
        if (lx.kind == LexemeKind::Symbol && lx.is("&"))
            pendingAmpersand = true;
        else
            out += lx.text;
    }
    return out;
}

TMacro* TMacros::FindMacro(std::string_view name) const {
    auto it = m_index.find(core::asciiLower(name));
    // Name is a public field: a macro renamed since the scan is looked for the slow way.
    if (it != m_index.end() && core::equalsNoCaseAscii(it->second->Name, name)) return it->second;
    for (const auto& m : m_items)
        if (core::equalsNoCaseAscii(m->Name, name)) return m.get();
    return nullptr;
}

TMacro& TMacros::MacroByName(std::string_view name, std::string_view component) const {
    if (TMacro* m = FindMacro(name)) return *m;
    raiseDatabaseError(component, "Macro " + std::string(name) + " not found");
}

}  // namespace db
