// The exceptions the HTTP client raises. what() is the exact message; the structured fields
// (socket error number, HTTP status and error body) ride along for callers that look.
#pragma once

#include <string>

#include "core/exception.h"

namespace net {

// The macro inherits the base's constructors by its unqualified name.
using core::Exception;

QL_DECLARE_EXCEPTION(EIdException, Exception);

// "Socket Error # N", a line break, then the system's text for N.
class EIdSocketError : public EIdException {
  public:
    EIdSocketError(int lastError, const std::string& systemText);
    const char* className() const override { return "EIdSocketError"; }
    int LastError() const { return m_lastError; }

  private:
    int m_lastError;
};

// A response the client does not accept: the message is the status line as received.
class EIdHTTPProtocolException : public EIdException {
  public:
    EIdHTTPProtocolException(const std::string& statusLine, int errorCode, std::string errorMessage)
        : EIdException(statusLine), m_code(errorCode), m_body(std::move(errorMessage)) {}
    const char* className() const override { return "EIdHTTPProtocolException"; }
    int ErrorCode() const { return m_code; }
    // The body of the error response decoded in its character set.
    const std::string& ErrorMessage() const { return m_body; }

  private:
    int m_code;
    std::string m_body;
};

QL_DECLARE_EXCEPTION(EIdConnClosedGracefully, EIdException);
QL_DECLARE_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException);
QL_DECLARE_EXCEPTION(EIdIOHandlerStreamDataTooLarge, EIdException);
QL_DECLARE_EXCEPTION(EIdIOHandlerPropInvalid, EIdException);
QL_DECLARE_EXCEPTION(EIdUnknownProtocol, EIdException);
QL_DECLARE_EXCEPTION(EIdURIException, EIdException);
QL_DECLARE_EXCEPTION(EIdReadTimeout, EIdException);
// A response whose framing or size breaks the limits the client keeps (head over
// kMaxHeadBytes or kMaxHeaderLines, a chunk-size line that is not hexadecimal).
QL_DECLARE_EXCEPTION(EIdHTTPResponseInvalid, EIdException);
// The destination stream refused bytes (disk full, file not writable).
QL_DECLARE_EXCEPTION(EStreamError, Exception);
// The destination took no more: the body outgrew the size the caller allowed.
QL_DECLARE_EXCEPTION(EStreamTooLarge, EStreamError);

inline constexpr const char* kMsgClosedGracefully = "Connection Closed Gracefully.";
inline constexpr const char* kMsgMaxLineLength = "Max line length exceeded.";
inline constexpr const char* kMsgDataTooLarge = "Data is too large for stream";
inline constexpr const char* kMsgPropInvalid = "IOHandler value is not valid";
inline constexpr const char* kMsgUnknownProtocol = "Unknown Protocol";
inline constexpr const char* kMsgReadTimeout = "Read timed out.";

}  // namespace net
