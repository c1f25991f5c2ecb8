// The exceptions of the ZIP extractor, each with its error code and exact message, and the
// error classes an entry failure is reported with.
#pragma once

#include <string>

#include "core/exception.h"

namespace archive {

// Raised by the extractor itself; code() is the code of the failure tables.
class EAbException : public core::Exception {
  public:
    EAbException(const std::string& message, int code) : core::Exception(message), m_code(code) {}
    const char* className() const override { return "EAbException"; }
    int code() const { return m_code; }

  private:
    int m_code;
};

QL_DECLARE_EXCEPTION(EAbFileNotFound, EAbException);
QL_DECLARE_EXCEPTION(EAbBadStream, EAbException);
QL_DECLARE_EXCEPTION(EAbUnhandledType, EAbException);
QL_DECLARE_EXCEPTION(EAbZipInvalid, EAbException);
QL_DECLARE_EXCEPTION(EAbNoSuchDirectory, EAbException);
QL_DECLARE_EXCEPTION(EAbNoArchive, EAbException);
QL_DECLARE_EXCEPTION(EAbZipVersion, EAbException);
QL_DECLARE_EXCEPTION(EAbZipInvalidMethod, EAbException);
QL_DECLARE_EXCEPTION(EAbZipInvalidPassword, EAbException);
QL_DECLARE_EXCEPTION(EAbZipBadCRC, EAbException);
// An entry whose name would place it outside the base directory (never written).
QL_DECLARE_EXCEPTION(EAbUnsafePath, EAbException);

// The operating system refused an operation; code() is the system error number.
QL_DECLARE_EXCEPTION(EInOutError, EAbException);
// The output file of an entry cannot be created (code 0).
QL_DECLARE_EXCEPTION(EFCreateError, EAbException);
// Corrupt compressed data or stored data shorter than its size (code 0).
QL_DECLARE_EXCEPTION(EAbDecodeError, EAbException);
// The entry's MS-DOS date or time is not a calendar date or time of day (code 0).
QL_DECLARE_EXCEPTION(EAbInvalidDateTime, EAbException);

// The failures the extractor raises, with the codes of the failure tables.
enum class ZipFailure {
    FileNotFound,        // 21
    BadStream,           // 17
    UnhandledType,       // 28
    ZipInvalid,          // 24
    NoSuchDirectory,     // 15
    NoArchive,           // 23
    ZipVersion,          // 1
    ZipInvalidMethod,    // 2
    ZipInvalidPassword,  // 4
    ZipBadCrc,           // 19
};

int failureCode(ZipFailure f);
const char* failureMessage(ZipFailure f);
[[noreturn]] void raise(ZipFailure f);

// How an entry failure is classified when it is reported (the values are the report's).
enum class ErrorClass {
    Archive = 0,     // the extractor's own exceptions; the code is the failure table's
    InOut = 1,       // a system input/output error; the code is the system error number
    Stream = 2,      // the streaming layer
    FileCreate = 3,  // the output file cannot be created
    FileOpen = 4,    // a file cannot be opened
    Cabinet = 5,     // not raised by ZIP extraction
    Other = 6,       // anything else
};

// "process type" of a failure report: entries fail only while being extracted.
enum class ProcessType {
    Add = 0,
    Delete = 1,
    Extract = 2,
    Freshen = 3,
    Move = 4,
    Replace = 5,
    Foreign = 6
};

}  // namespace archive
