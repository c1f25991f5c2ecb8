// Writing one entry: its data decoded into its output file with the CRC-32 checked (a failed
// output is closed and deleted), then its MS-DOS time and its read-only attribute.
#pragma once

#include <optional>
#include <string>

#include "archive/decoders/decoder.h"
#include "archive/zip_archive.h"
#include "host/platform.h"

namespace archive {

// Creates the entry's file and fills it from the decoder; on any failure the file is closed and
// removed and the failure raised (EFCreateError, EAbDecodeError, EAbZipBadCRC, EInOutError).
// What is in the way is replaced, never written through: an old file is removed first (unless it
// is read-only: EFCreateError), and so is a symbolic link, wherever it points or whether its
// target exists at all; a folder in the way fails the entry.
void writeEntryFile(const CentralHeader& h, Decoder* decoder, const std::string& path);

// The entry's MS-DOS date and time (APPNOTE 4.4.6), nullopt when not a calendar date and time.
std::optional<host::LocalDateTime> dosDateTime(std::uint16_t date, std::uint16_t time);
// Read-only by the MS-DOS attribute byte, or for a Unix entry by its mode's owner-write bit.
bool isReadOnlyEntry(const CentralHeader& h);
// Sets the file's time and attributes; EAbInvalidDateTime when the entry's date is not a date.
void applyTimeAndAttributes(const CentralHeader& h, const std::string& path);

}  // namespace archive
