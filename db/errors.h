// The errors of the database layer: EDatabaseError for the data layer's own failures (unknown
// macro or field), EMyError for what the server or the client session reports.
#pragma once

#include <string>
#include <string_view>

#include "core/exception.h"

namespace db {

// The macro inherits its base's constructors by the base's own name, so the base is named
// without a namespace qualifier.
using Exception = core::Exception;

QL_DECLARE_EXCEPTION(EDatabaseError, Exception);

// The silent abort: a handler raises it to stop a run without any error being reported.
QL_DECLARE_EXCEPTION(EAbort, Exception);

// A script or query text whose lexing failed ("Parser: The unknown symbol ...").
QL_DECLARE_EXCEPTION(EParserError, EDatabaseError);

// A file that could not be opened or read.
QL_DECLARE_EXCEPTION(EFOpenError, Exception);

struct LexError;
struct MySqlError;

// An error raised on behalf of a named component reads "NAME: text"; without a name the
// text stands alone.
std::string componentMessage(std::string_view component, std::string_view text);

class EMyError : public EDatabaseError {
  public:
    EMyError(int errorCode, const std::string& message);
    const char* className() const override { return "EMyError"; }

    int ErrorCode() const { return m_errorCode; }
    // For 1064 (syntax error) the server's message ends with "at line N": N; otherwise 0.
    int LineNumber() const { return m_lineNumber; }
    // Errors after which the session is unusable: shutdown in progress (1053), cannot
    // connect (2003), server gone away (2006), connection lost during a query (2013).
    bool IsFatalError() const;

  private:
    int m_errorCode;
    int m_lineNumber;
};

// The three places where the layer's error values become exceptions:
// the data layer's own failure, EDatabaseError "NAME: text" (or the text alone);
[[noreturn]] void raiseDatabaseError(std::string_view component, std::string_view text);
// a lexer failure, EParserError with the lexer's whole message ("Parser: The unknown symbol");
[[noreturn]] void raiseParserError(const LexError& e);
// what the client session recorded, EMyError with its number and its text (bytes of the
// connection's character set, turned into UTF-8).
[[noreturn]] void raiseMyError(const MySqlError& e);
// An error's message as the session builds it: the client table's text for the code (often
// empty), CR LF, then the server's message, with "#" and the five-character SQL state in front
// under protocol 4.1. SqlStateOf gives that state ("" when there is none); MessageText the
// message without it, its line breaks and other control characters as single blanks.
std::string SqlStateOf(std::string_view message);
std::string MessageText(std::string_view message);

// The decimal number that ends a 1064 message ("... at line 1"); 0 when it ends otherwise.
int trailingLineNumber(std::string_view message);

}  // namespace db
