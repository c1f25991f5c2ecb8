// qltool split FILE: the statements the script runner lists for a script file, one JSON object
// per line. Lines and columns count from 1; columns count characters.
#include <cstdio>
#include <string>

#include "core/exception.h"
#include "db/script.h"
#include "error_output.h"
#include "json_text.h"

extern const char* const qltool_split_usage =
    "split FILE          statements of a script FILE as JSON lines";

int qltool_split(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_split_usage);
        return 64;
    }
    db::TMyScript script;
    try {
        script.SQL.LoadFromFile(argv[1]);
        int n = 0;
        for (const db::TDAStatement& st : script.Statements()) {
            std::string line = "{\"n\":" + std::to_string(++n);
            line += ",\"omit\":";
            line += st.Omit ? "true" : "false";
            line += ",\"kind\":\"";
            line += db::statementKindName(st.StatementType);
            line += "\",\"start\":[" + std::to_string(st.StartLine) + "," +
                    std::to_string(st.StartPos) + "],\"end\":[" + std::to_string(st.EndLine) + "," +
                    std::to_string(st.EndPos) + "],\"text\":" + jsonString(st.SQL) + "}\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
    } catch (const core::Exception& e) {
        writeLine(stderr, e.message());
        return 1;
    }
    return 0;
}
