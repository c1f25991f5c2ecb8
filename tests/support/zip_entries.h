// Test-only raw ZIP entry locator: finds each entry's compressed bytes through the central
// directory, so decoder tests can run on real archives without the extractor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

struct RawZipEntry {
    std::string name;  // the raw name bytes
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::string data;  // the compressed bytes
};

// Every entry of a whole archive held in memory; nullopt when the archive cannot be read
// (no end record, a bad header, ZIP64).
std::optional<std::vector<RawZipEntry>> readRawZipEntries(std::string_view archive);

// One row of the shared archives' answer key (zip/expected.tsv; its README names the columns).
struct ExpectedEntry {
    std::string archive;
    std::string entry;  // "(none)" for an archive without entries
    int method = -1;    // -1: no entry
    std::uint64_t size = 0;
    std::uint32_t crc32 = 0;
    std::string expected;  // ok, ok-dir, ok-empty, fail-..., either-ok-or-fail-zip64
    std::vector<std::string> alternatives;  // other accepted names (OEM-coded names)
    std::string unixMode;                   // "-" when none
    std::string notes;                      // "OPTIONAL ..." for rows beyond the requirements

    bool optional() const { return notes.rfind("OPTIONAL", 0) == 0; }
};
// The one reader of the answer key; every row, in the file's order.
std::vector<ExpectedEntry> readAnswerKey(const std::string& tsvPath);

}  // namespace testsupport
