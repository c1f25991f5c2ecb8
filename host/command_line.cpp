#include "host/platform/process.h"

namespace host {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// Blanks outside quotes end a word; a quote toggles quoting and is dropped, so `"a b"c` is the
// one word `a bc` and `""` an empty word. An unterminated quote runs to the end of the line.
std::vector<std::string> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (isBlank(c) && !quoted) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

}  // namespace host
