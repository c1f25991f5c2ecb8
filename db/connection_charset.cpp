#include "db/connection_charset.h"

#include <cstdio>

#include "core/text.h"
#include "db/errors.h"
#include "db/text_position.h"

namespace db {

core::Result<std::string, std::string> toConnectionText(std::string_view utf8,
                                                        std::string_view what, Secret secret) {
    auto bytes = core::utf8ToCodePageExact(core::CodePage::Windows1252, utf8);
    if (bytes) return std::move(bytes).value();
    const core::Unencodable& u = bytes.error();
    const TextPos at = placeOf(utf8, u.offset);
    std::string message(what);
    if (secret == Secret::Yes) {
        message += " holds a character";
    } else {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u.codePoint));
        message += " holds \"";
        core::appendUtf8(message, u.codePoint);
        message += "\" (" + std::string(code) + ")";
    }
    message += " at line " + std::to_string(at.line) + ", column " + std::to_string(at.column) +
               ", which the connection's character set (latin1) cannot represent";
    return core::fail(std::move(message));
}

std::string toConnectionTextOrRaise(std::string_view component, std::string_view utf8,
                                    std::string_view what, Secret secret) {
    auto bytes = toConnectionText(utf8, what, secret);
    if (!bytes) raiseDatabaseError(component, bytes.error());
    return std::move(bytes).value();
}

std::string fromConnectionText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    appendFromConnectionText(out, bytes);
    return out;
}

void appendFromConnectionText(std::string& out, std::string_view bytes) {
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else
            core::appendUtf8(out, core::codePageToUnicode(core::CodePage::Windows1252, b));
    }
}

}  // namespace db
