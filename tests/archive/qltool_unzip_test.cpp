// qltool unzip as a separate process: one FAILED line per failed entry and the exit codes
// 0 (all extracted), 1 (some failed), 2 (not opened).
#include <gtest/gtest.h>

#include <filesystem>

#include "host/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"
#include "tests/support/zip_builder.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

namespace fs = std::filesystem;
using testsupport::shellQuote;
using testsupport::ZipEntrySpec;

std::string qltool() {
    return testsupport::binaryDir() + "/tools/qltool/qltool";
}

TEST(QltoolUnzip, ExitCodesAndFailureLines) {
    if (!fs::exists(qltool())) GTEST_SKIP() << "qltool not built";
    testsupport::TempDir dir;
    const std::string good =
        dir.write("good.qlzip",
                  testsupport::buildZip({ZipEntrySpec{.name = "a/b.txt", .data = "b"}}))
            .string();
    const std::string partial =
        dir.write("partial.qlzip",
                  testsupport::buildZip({ZipEntrySpec{.name = "ok.txt", .data = "ok"},
                                         ZipEntrySpec{.name = "bad.txt", .data = "x", .crc = 1},
                                         ZipEntrySpec{.name = "../up.txt", .data = "x"}}))
            .string();
    const std::string empty = dir.write("empty.qlzip", "").string();
    fs::create_directory(dir.path() / "out");
    const std::string out = (dir.path() / "out").string();
    const std::string nul =
        dir.write("nul.qlzip", testsupport::buildZip({ZipEntrySpec{
                                   .name = std::string("x.txt\0.exe", 10), .data = "x"}}))
            .string();
    // More than the disk has free: 4 GiB claimed by each of enough entries.
    std::vector<ZipEntrySpec> huge;
    for (std::uint64_t i = 0; i <= host::freeDiskSpace(out).value_or(0) / 0xFFFFFFFFu; ++i)
        huge.push_back(
            ZipEntrySpec{.name = std::to_string(i), .data = "x", .uncompressedSize = 0xFFFFFFFFu});
    const std::string tooBig = dir.write("big.qlzip", testsupport::buildZip(huge)).string();

    struct Case {
        const char* name;
        std::string args;
        int exit;
        std::string output;
    } cases[] = {
        {"all extracted", shellQuote(good) + " " + shellQuote(out), 0, ""},
        {"mask selecting nothing", shellQuote(good) + " " + shellQuote(out) + " '*.sql'", 0, ""},
        {"some failed", shellQuote(partial) + " " + shellQuote(out), 1,
         "FAILED bad.txt: EAbZipBadCRC 19 Failed CRC Check\n"
         "FAILED ../up.txt: EAbUnsafePath 0 Unsafe entry name - name with a \"..\" part\n"},
        {"empty archive file", shellQuote(empty) + " " + shellQuote(out), 2,
         "EAbBadStream: Invalid Stream\n"},
        {"missing archive", shellQuote(out + "/none.qlzip") + " " + shellQuote(out), 2,
         "EAbFileNotFound: File not found\n"},
        {"missing folder", shellQuote(good) + " " + shellQuote(out + "/none"), 2,
         "EAbNoSuchDirectory: Directory does not exist\n"},
        {"folder that is a file", shellQuote(good) + " " + shellQuote(good), 2,
         "EAbNoSuchDirectory: Directory does not exist\n"},
        {"NUL in a name, printed whole", shellQuote(nul) + " " + shellQuote(out), 1,
         std::string("FAILED x.txt\0.exe: EAbUnsafePath 0 Unsafe entry name - name with a NUL "
                     "character\n",
                     80)},
        {"not enough free space", shellQuote(tooBig) + " " + shellQuote(out), 2,
         "EInOutError: Not enough free space to extract: the files need "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string output;
        EXPECT_EQ(testsupport::runShell(shellQuote(qltool()) + " unzip " + c.args, &output),
                  c.exit);
        if (c.output.ends_with("\n"))
            EXPECT_EQ(output, c.output);
        else  // the figures depend on the disk
            EXPECT_EQ(output.rfind(c.output, 0), 0U) << output;
    }
    EXPECT_EQ(testsupport::readFile(dir.path() / "out/a/b.txt"), "b");
    EXPECT_EQ(testsupport::readFile(dir.path() / "out/ok.txt"), "ok");
    EXPECT_FALSE(fs::exists(dir.path() / "up.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "out/x.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "out/0"));
}

}  // namespace
