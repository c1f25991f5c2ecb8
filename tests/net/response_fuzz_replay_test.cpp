// Replays the inputs kept for the HTTP response fuzz target (tests/regressions/http_response/)
// through the fuzz body, so a once-found fault stays found in every build.
#include "fuzz/http_response_body.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace net {
namespace {

TEST(HttpResponseFuzz, ReplaysKeptInputs) {
    const auto dir =
        std::filesystem::path(testsupport::sourceDir()) / "tests/regressions/http_response";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().string());
        const std::string bytes = testsupport::readFile(entry.path());
        fuzzing::fuzzHttpResponse({reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()});
        ++replayed;
    }
    EXPECT_GE(replayed, 2);
}

}  // namespace
}  // namespace net
