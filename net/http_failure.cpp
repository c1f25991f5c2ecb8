#include "net/http_failure.h"

#include "net/id_exceptions.h"

namespace net {

std::string HttpFailure::message() const {
    switch (kind) {
        case HttpErrorKind::LineTooLong:
            return kMsgMaxLineLength;
        case HttpErrorKind::ClosedEarly:
            return kMsgClosedGracefully;
        case HttpErrorKind::HeadTooLarge:
            return "Response head larger than " + std::to_string(kMaxHeadBytes) + " bytes.";
        case HttpErrorKind::TooManyHeaders:
            return "Response head with more than " + std::to_string(kMaxHeaderLines) +
                   " header lines.";
        case HttpErrorKind::BadChunkSize:
            return "Invalid chunk size \"" + detail + "\" at offset " + std::to_string(offset) +
                   ".";
    }
    return {};
}

}  // namespace net
