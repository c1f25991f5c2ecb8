// Checks on an entry made before anything is written: that its local header describes the same
// entry as its central directory header, and that no two entries claim the same bytes of the
// file (several headers pointing at one compressed stream would multiply its output).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "archive/zip_format.h"
#include "archive/zip_names.h"

namespace archive {

// Why the local header (its fixed part, name and extra field) does not describe the central
// entry, or nullptr when it does. The names must be the same bytes, or the local header must
// name the entry's decoded name by its own name decoded by the same rules (the local flags and
// extra field, the central host) or by its Unicode path extra: archives exist whose local names
// are placeholders beside a Unicode path, or in another code page. The methods must be
// equal and, unless the sizes follow the data (flag bit 3), both sizes; ZIP64 sizes of the
// local extra block count when the 32-bit fields hold 0xFFFFFFFF.
const char* localHeaderMismatch(const LocalHeader& local, std::string_view localName,
                                std::string_view localExtra, const CentralHeader& central,
                                const NameCodePages& pages = {});

// The bytes of the file an entry occupies: its local header, name, extra field and data.
struct EntrySpan {
    std::uint64_t start = 0;
    std::uint64_t end = 0;  // one past the last byte
};

// For each span, whether it shares a byte with another span or reaches past `limit` (the start
// of the central directory). Every entry of an overlapping pair is marked; an empty span claims
// nothing and is never marked.
std::vector<bool> overlappingSpans(std::span<const EntrySpan> spans, std::uint64_t limit);

}  // namespace archive
