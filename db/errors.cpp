#include "db/errors.h"

#include "db/client_errors.h"
#include "db/connection_charset.h"
#include "db/lexer.h"

namespace db {

std::string componentMessage(std::string_view component, std::string_view text) {
    if (component.empty()) return std::string(text);
    std::string out(component);
    out += ": ";
    out += text;
    return out;
}

void raiseDatabaseError(std::string_view component, std::string_view text) {
    throw EDatabaseError(componentMessage(component, text));
}

void raiseParserError(const LexError& e) {
    throw EParserError(e.message);
}

void raiseMyError(const MySqlError& e) {
    throw EMyError(static_cast<int>(e.code), fromConnectionText(e.text));
}

int trailingLineNumber(std::string_view message) {
    std::size_t end = message.size();
    std::size_t begin = end;
    while (begin > 0 && message[begin - 1] >= '0' && message[begin - 1] <= '9') --begin;
    if (begin == end) return 0;
    // A number too long for an int is no line number the server would send.
    if (end - begin > 9) return 0;
    int n = 0;
    for (std::size_t i = begin; i < end; ++i) n = n * 10 + (message[i] - '0');
    return n;
}

EMyError::EMyError(int errorCode, const std::string& message)
    : EDatabaseError(message),
      m_errorCode(errorCode),
      m_lineNumber(errorCode == 1064 ? trailingLineNumber(message) : 0) {}

bool EMyError::IsFatalError() const {
    switch (m_errorCode) {
        case 1053:
        case 2003:
        case 2006:
        case 2013:
            return true;
        default:
            return false;
    }
}

}  // namespace db
