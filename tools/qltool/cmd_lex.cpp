// qltool lex FILE: the lexemes of a script file, one JSON object per line, as the MySQL lexer
// cuts the file's text (decoded by its byte-order mark, otherwise as Windows-1252).
#include <cstdio>
#include <optional>
#include <string>

#include "core/text.h"
#include "db/lexer.h"
#include "error_output.h"
#include "host/platform/file_names.h"
#include "json_text.h"

extern const char* const qltool_lex_usage =
    "lex FILE            lexemes of FILE as JSON lines {\"kind\",\"text\"}";

int qltool_lex(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_lex_usage);
        return 64;
    }
    const std::optional<std::string> bytes = host::readWholeFile(argv[1]);
    if (!bytes) {
        std::fprintf(stderr, "qltool lex: cannot open %s\n", argv[1]);
        return 1;
    }
    const std::string text = core::decodeText(*bytes);
    db::TMyParser parser(text);
    std::string out;
    for (;;) {
        auto r = parser.next();
        if (!r) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            writeLine(stderr, r.error().message);
            return 1;
        }
        if (r->kind == db::LexemeKind::End) break;
        out += "{\"kind\": \"";
        out += db::lexemeKindName(r->kind);
        out += "\", \"text\": ";
        out += jsonString(r->text);
        out += "}\n";
        if (out.size() > (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
