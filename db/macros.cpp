#include "db/macros.h"

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
    core::Result<void, LexError> status;
    if (text.find('&') != std::string_view::npos) {
        TMyParser parser(text);
        bool afterAmpersand = false;
        for (;;) {
            auto r = parser.next();
            if (!r) {
                status = core::fail(r.error());
                break;
            }
            const Lexeme& lx = *r;
            if (lx.kind == LexemeKind::End) break;
            if (afterAmpersand && isMacroName(lx)) {
                bool seen = false;
                for (const std::string& n : names)
                    seen = seen || core::equalsNoCaseAscii(n, lx.text);
                if (!seen) names.emplace_back(lx.text);
            }
            afterAmpersand = lx.kind == LexemeKind::Symbol && lx.is("&");
        }
    }

    bool same = names.size() == m_items.size();
    for (std::size_t i = 0; same && i < names.size(); ++i) same = m_items[i]->Name == names[i];
    if (same) return status;

    std::vector<std::unique_ptr<TMacro>> rebuilt;
    rebuilt.reserve(names.size());
    for (std::string& name : names) {
        std::unique_ptr<TMacro> m;
        for (auto& old : m_items)
            if (old && core::equalsNoCaseAscii(old->Name, name)) m = std::move(old);
        if (!m) m = std::make_unique<TMacro>();
        m->Name = std::move(name);
        rebuilt.push_back(std::move(m));
    }
    m_items = std::move(rebuilt);
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
    for (const auto& m : m_items)
        if (core::equalsNoCaseAscii(m->Name, name)) return m.get();
    return nullptr;
}

TMacro& TMacros::MacroByName(std::string_view name, std::string_view component) const {
    if (TMacro* m = FindMacro(name)) return *m;
    raiseDatabaseError(component, "Macro " + std::string(name) + " not found");
}

}  // namespace db
