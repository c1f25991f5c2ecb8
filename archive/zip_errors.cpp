#include "archive/zip_errors.h"

namespace archive {

int failureCode(ZipFailure f) {
    switch (f) {
        case ZipFailure::FileNotFound:
            return 21;
        case ZipFailure::BadStream:
            return 17;
        case ZipFailure::UnhandledType:
            return 28;
        case ZipFailure::ZipInvalid:
            return 24;
        case ZipFailure::NoSuchDirectory:
            return 15;
        case ZipFailure::NoArchive:
            return 23;
        case ZipFailure::ZipVersion:
            return 1;
        case ZipFailure::ZipInvalidMethod:
            return 2;
        case ZipFailure::ZipInvalidPassword:
            return 4;
        case ZipFailure::ZipBadCrc:
            return 19;
    }
    return 0;
}

const char* failureMessage(ZipFailure f) {
    switch (f) {
        case ZipFailure::FileNotFound:
            return "File not found";
        case ZipFailure::BadStream:
            return "Invalid Stream";
        case ZipFailure::UnhandledType:
            return "Unhandled Archive Type";
        case ZipFailure::ZipInvalid:
            return "Invalid file - not a PKZip file";
        case ZipFailure::NoSuchDirectory:
            return "Directory does not exist";
        case ZipFailure::NoArchive:
            return "Archive does not exist - Filename is blank";
        case ZipFailure::ZipVersion:
            return "Cannot extract file - newer version required";
        case ZipFailure::ZipInvalidMethod:
            return "Cannot extract file - unsupported compression method";
        case ZipFailure::ZipInvalidPassword:
            return "Cannot extract file - invalid password";
        case ZipFailure::ZipBadCrc:
            return "Failed CRC Check";
    }
    return "";
}

// The one place a failure value becomes the named exception.
void raise(ZipFailure f) {
    const std::string m = failureMessage(f);
    const int c = failureCode(f);
    switch (f) {
        case ZipFailure::FileNotFound:
            throw EAbFileNotFound(m, c);
        case ZipFailure::BadStream:
            throw EAbBadStream(m, c);
        case ZipFailure::UnhandledType:
            throw EAbUnhandledType(m, c);
        case ZipFailure::ZipInvalid:
            throw EAbZipInvalid(m, c);
        case ZipFailure::NoSuchDirectory:
            throw EAbNoSuchDirectory(m, c);
        case ZipFailure::NoArchive:
            throw EAbNoArchive(m, c);
        case ZipFailure::ZipVersion:
            throw EAbZipVersion(m, c);
        case ZipFailure::ZipInvalidMethod:
            throw EAbZipInvalidMethod(m, c);
        case ZipFailure::ZipInvalidPassword:
            throw EAbZipInvalidPassword(m, c);
        case ZipFailure::ZipBadCrc:
            throw EAbZipBadCRC(m, c);
    }
    throw EAbException(m, c);
}

}  // namespace archive
