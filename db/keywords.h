// The lexer's keyword table: the words of MySQL's grammar (keywords and reserved words) plus
// the client command DELIMITER. A keyword has a code, its 1-based place in the table.
#pragma once

#include <string_view>

namespace db {

// 0 when `word` is no keyword; the comparison ignores ASCII letter case.
int keywordCode(std::string_view word);
// The table's spelling (upper case) of a code, empty for 0 or an unknown code.
std::string_view keywordText(int code);
int keywordCount();

// The five words the statement reader acts on.
struct KeywordCodes {
    int create, delimiter, procedure, function, trigger;
};
const KeywordCodes& scriptKeywords();

}  // namespace db
