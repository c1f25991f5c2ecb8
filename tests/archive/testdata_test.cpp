// The real-world archives of the shared test material against their answer key: every entry the
// key says extracts does so with the right bytes when our build has its method's decoder; an
// entry of a method without a decoder reports "unsupported compression method" (code 2), so the
// key's rows turn on by themselves as decoders are added.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "archive/decoders/decoder.h"
#include "archive/unzipper.h"
#include "host/platform/file_names.h"
#include "tests/archive/decoders/decode_helpers.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_entries.h"

namespace {

namespace fs = std::filesystem;

using Row = testsupport::ExpectedEntry;

bool methodSupported(std::uint16_t method) {
    struct Empty final : archive::ByteSource {
        core::Result<std::size_t, archive::DecodeError> read(std::span<std::byte>) override {
            return std::size_t{0};
        }
    } empty;
    return archive::makeDecoder({method, 0, 0, 1}, empty) != nullptr;
}

// Names the key expects in CP437 (or CP850) that this extractor reads in the ANSI code page: the
// entries were made on a Unix host and some of their high bytes are not CP850 letters, so the
// name does not look OEM-encoded. The key's rule ignores the host byte.
const std::map<std::pair<std::string, std::string>, std::string> kAnsiReadings = {
    {{"real-z2__non_utf8.zip", "\xE2\x95\x93\xE2\x95\xA8\xE2\x95\xAC\xE2\x94\x80"},
     "\xC3\x96\xC3\x90\xC3\x8E\xC3\x84"},
    {{"real-z2__non_utf8.zip", "\xC3\xB4\xC2\xB7\xC3\xB2\xE2\x95\xA2"},
     "\xE2\x80\x9C\xC3\xBA\xE2\x80\xA2\xC2\xB6"},
};

std::vector<std::string> namesOf(const Row& r) {
    std::vector<std::string> names{r.entry};
    names.insert(names.end(), r.alternatives.begin(), r.alternatives.end());
    if (auto it = kAnsiReadings.find({r.archive, r.entry}); it != kAnsiReadings.end())
        names.push_back(it->second);
    return names;
}

std::string normalised(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    while (!name.empty() && name.back() == '/') name.pop_back();
    return name;
}

struct Outcome {
    bool opened = false;
    std::string openError;
    std::vector<archive::FailedEntry> failed;
};

const archive::FailedEntry* failureFor(const Outcome& o, const Row& r) {
    for (const auto& f : o.failed)
        for (const auto& n : namesOf(r))
            if (normalised(f.name) == normalised(n)) return &f;
    return nullptr;
}

class AnswerKey : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::path(testsupport::testdataDir()) / "zip";
        if (!fs::exists(m_dir / "expected.tsv"))
            GTEST_SKIP() << "no shared ZIP test material at " << m_dir;
    }
    fs::path m_dir;
};

TEST_F(AnswerKey, EveryArchiveExtractsAsTheKeySays) {
    std::map<std::string, std::vector<Row>> byArchive;
    for (Row& r : testsupport::readAnswerKey((m_dir / "expected.tsv").string()))
        byArchive[r.archive].push_back(std::move(r));
    ASSERT_GT(byArchive.size(), 100U);

    for (const auto& [name, rows] : byArchive) {
        SCOPED_TRACE(name);
        testsupport::TempDir out;
        Outcome o;
        archive::TAbUnZipper u;
        try {
            u.SetBaseDirectory(out.str());
            u.SetFileName((m_dir / name).string());
            u.ExtractFiles("*.*");
            o.opened = true;
            o.failed = u.FailedEntries();
        } catch (const core::Exception& e) {
            o.openError = std::string(e.className()) + ": " + e.what();
        }
        u.CloseArchive();

        bool mustFailOrOptional = false;
        for (const Row& r : rows) {
            SCOPED_TRACE(r.entry);
            mustFailOrOptional |= r.optional() || r.expected.rfind("fail", 0) == 0;
            std::optional<fs::path> file;
            for (const auto& n : namesOf(r))
                if (fs::is_regular_file(out.path() / host::fsPath(n)))
                    file = out.path() / host::fsPath(n);
            const archive::FailedEntry* failure = failureFor(o, r);

            if (r.expected == "fail-zip64" || r.expected == "either-ok-or-fail-zip64") {
                if (r.expected == "fail-zip64") {
                    EXPECT_TRUE(!o.opened || failure != nullptr);
                }
                continue;
            }
            ASSERT_TRUE(o.opened) << o.openError;
            if (r.expected == "ok-empty") {
                EXPECT_TRUE(o.failed.empty());
            } else if (r.expected == "ok-dir") {
                bool isDir = false;
                for (const auto& n : namesOf(r))
                    isDir |= fs::is_directory(out.path() / host::fsPath(n));
                EXPECT_TRUE(isDir);
            } else if (r.expected == "ok") {
                const auto method = static_cast<std::uint16_t>(r.method);
                if (r.size != 0 && !methodSupported(method)) {
                    ASSERT_NE(failure, nullptr)
                        << "method " << method << " without a decoder must be reported";
                    EXPECT_EQ(failure->className, "EAbZipInvalidMethod");
                    EXPECT_EQ(failure->code, 2);
                    EXPECT_FALSE(file);
                    continue;
                }
                ASSERT_TRUE(file) << "not extracted" << (failure ? ": " + failure->message : "");
                const std::string data = testsupport::readFile(*file);
                EXPECT_EQ(data.size(), r.size);
                EXPECT_EQ(testsupport::crc32Of(data), r.crc32);
                // A file written in full whose stored date is not a date is still reported.
                if (failure) {
                    EXPECT_EQ(failure->className, "EAbInvalidDateTime");
                }
            } else {
                const std::map<std::string, std::pair<const char*, int>> kFailures = {
                    {"fail-encrypted", {"EAbZipInvalidPassword", 4}},
                    {"fail-badcrc", {"EAbZipBadCRC", 19}},
                    {"fail-unsupported-method", {"EAbZipInvalidMethod", 2}},
                };
                const auto want = kFailures.find(r.expected);
                ASSERT_NE(want, kFailures.end()) << r.expected;
                ASSERT_NE(failure, nullptr);
                EXPECT_EQ(failure->className, want->second.first);
                EXPECT_EQ(failure->code, want->second.second);
                EXPECT_FALSE(file);
            }
        }
        // Nothing else fails in an archive the key expects to extract whole.
        if (!mustFailOrOptional && o.opened) {
            for (const auto& f : o.failed) {
                const bool explained =
                    f.className == "EAbInvalidDateTime" || f.className == "EAbZipInvalidMethod";
                EXPECT_TRUE(explained) << f.name << ": " << f.className << " " << f.message;
            }
        }
    }
}

}  // namespace
