#include "db/params.h"

#include <unordered_set>

#include "core/text.h"

namespace db {
namespace {

bool namesParam(const Lexeme& lx) {
    // A backquoted identifier is no parameter name (":`x`" is not a placeholder).
    return (lx.kind == LexemeKind::Identifier && !lx.text.starts_with('`')) ||
           lx.kind == LexemeKind::Keyword || lx.kind == LexemeKind::Number;
}

}  // namespace

core::Result<std::vector<std::string>, LexError> findParams(std::string_view text) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;  // lower-case forms of `names`
    if (text.find(':') == std::string_view::npos) return names;
    TMyParser parser(text);
    // 0: nothing pending; 1: after ":"; 2: after ":@".
    int stage = 0;
    for (;;) {
        auto r = parser.next();
        if (!r) return core::fail(r.error());
        const Lexeme& lx = *r;
        if (lx.kind == LexemeKind::End) return names;
        if (stage > 0 && namesParam(lx)) {
            if (seen.insert(core::asciiLower(lx.text)).second) names.emplace_back(lx.text);
            stage = 0;
            continue;
        }
        if (stage == 1 && lx.kind == LexemeKind::Symbol && lx.is("@")) {
            stage = 2;
            continue;
        }
        stage = (lx.kind == LexemeKind::Symbol && lx.is(":")) ? 1 : 0;
    }
}

}  // namespace db
