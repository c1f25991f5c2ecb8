// Helpers shared by the archive tests: sample contents, archives made by real tools, and the
// raw compressed data of an entry.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive/zip_format.h"
#include "core/byte_cursor.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace archtest {

// Text-like and random bytes mixed, reproducible from the seed.
inline std::string sampleContent(std::size_t size, unsigned seed = 1) {
    static const char* const kWords[] = {
        "update ",      "version ", "company ",  "script ",     "\r\n",
        "INSERT INTO ", "trigger ", "Quillora ", "0123456789 ", "\t"};
    std::mt19937 rng(seed);
    std::string out;
    while (out.size() < size) {
        if (rng() % 8 == 0) {
            for (int i = 0; i < 64; ++i) out += static_cast<char>(rng() & 0xFF);
        } else {
            out += kWords[rng() % 10];
        }
    }
    out.resize(size);
    return out;
}

#define QL_REQUIRE_TOOL(name)                              \
    do {                                                   \
        if (!testsupport::haveTool(name)) {                \
            GTEST_SKIP() << (name) << " is not installed"; \
        }                                                  \
    } while (0)

// Runs `command` inside `dir` and fails the test when it does not exit 0.
inline void runIn(const testsupport::TempDir& dir, const std::string& command) {
    std::string out;
    const int rc = testsupport::runShell(
        "cd " + testsupport::shellQuote(dir.path().string()) + " && " + command, &out);
    ASSERT_EQ(rc, 0) << command << "\n" << out;
}

struct PackedEntry {
    archive::CentralHeader header;
    std::string data;  // the compressed bytes, as stored after the local header
};

// The first entry of a whole archive and its compressed data.
inline PackedEntry firstEntry(const std::string& zip) {
    auto dir = archive::readDirectory(core::asBytes(zip));
    if (!dir || dir->headers.empty()) return {};
    PackedEntry e{dir->headers[0], {}};
    const std::size_t at = e.header.localHeaderOffset;
    auto local =
        archive::parseLocalHeader(core::asBytes(zip).subspan(at, archive::kLocalHeaderSize), at);
    if (!local) return {};
    e.data = zip.substr(at + archive::kLocalHeaderSize + local->nameLength + local->extraLength,
                        e.header.compressedSize);
    return e;
}

}  // namespace archtest
