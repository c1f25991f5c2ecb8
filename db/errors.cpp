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

namespace {

// Where "#" and the SQL state stand in a message: after the first CR LF; npos when absent.
std::size_t statePosition(std::string_view message) {
    const std::size_t crlf = message.find("\r\n");
    if (crlf == std::string_view::npos) return std::string_view::npos;
    const std::size_t hash = crlf + 2;
    if (message.size() < hash + 6 || message[hash] != '#') return std::string_view::npos;
    for (std::size_t i = hash + 1; i < hash + 6; ++i) {
        const char c = message[i];
        // SQL states are digits and capital letters (ISO/IEC 9075 class and subclass).
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) return std::string_view::npos;
    }
    return hash;
}

}  // namespace

std::string SqlStateOf(std::string_view message) {
    const std::size_t at = statePosition(message);
    return at == std::string_view::npos ? std::string() : std::string(message.substr(at + 1, 5));
}

std::string MessageText(std::string_view message) {
    const std::size_t at = statePosition(message);
    std::string joined;
    if (at == std::string_view::npos) {
        joined = message;
    } else {
        joined = std::string(message.substr(0, at)) + std::string(message.substr(at + 6));
    }
    std::string out;
    for (const char c : joined) {
        if (static_cast<unsigned char>(c) >= 0x20) {
            out += c;
        } else if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace db
