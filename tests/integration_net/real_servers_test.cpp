// The client against real servers: nginx (HTTP/1.1, keep-alive, sendfile) and Python's
// http.server (HTTP/1.0, closes after each response), each serving a 100 MB file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "net/id_exceptions.h"
#include "net/id_http.h"
#include "net/resumable_get.h"
#include "net/update_server.h"
#include "tests/support/http_servers.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace net {
namespace {

namespace fs = std::filesystem;
using namespace testsupport;

constexpr std::uint64_t kBigSize = 100ull * 1000 * 1000;

struct Site {
    TempDir dir;
    fs::path root = dir.path() / "www";
    fs::path work = dir.path() / "server";
    fs::path big = root / "public" / "qlupdate" / "big.zip";
    Site() {
        fs::create_directories(big.parent_path());
        fs::create_directories(work);
        writePatternFile(big, kBigSize);
        dir.write("www/public/qlupdate/UPDATEQL.txt", "VE|2024.10.1\r\nXX|other\r\n");
    }
};

struct Recorded {
    std::vector<std::int64_t> begins, works;
    int ends = 0;
    void attach(TIdHTTP& http) {
        http.OnWorkBegin = [this](TIdHTTP&, TWorkMode, std::int64_t max) { begins.push_back(max); };
        http.OnWork = [this](TIdHTTP&, TWorkMode, std::int64_t n) { works.push_back(n); };
        http.OnWorkEnd = [this](TIdHTTP&, TWorkMode) { ++ends; };
    }
};

// The big package and then the version file on one client; returns the client's connects.
int downloadBoth(HttpServerProcess& server, const Site& site) {
    TIdHTTP http;
    applyUpdaterSettings(http);
    Recorded events;
    events.attach(http);
    UpdateServer us(server.url("/"));

    const fs::path out = site.dir.path() / "got.zip";
    {
        FileStream file(out.string());
        http.Get(us.packageUrl("big"), file);
    }
    EXPECT_EQ(fs::file_size(out), kBigSize);
    EXPECT_TRUE(sameFileContents(out, site.big));
    EXPECT_EQ(events.begins, std::vector<std::int64_t>{static_cast<std::int64_t>(kBigSize)});
    EXPECT_EQ(events.ends, 1);
    EXPECT_FALSE(events.works.empty());
    EXPECT_TRUE(std::is_sorted(events.works.begin(), events.works.end()));
    EXPECT_GT(events.works.front(), 0);
    EXPECT_EQ(events.works.back(), static_cast<std::int64_t>(kBigSize));
    for (std::size_t i = 1; i < events.works.size(); ++i)
        EXPECT_LE(events.works[i] - events.works[i - 1], 32768) << i;

    MemoryStream version;
    http.Get(us.versionFileUrl(), version);
    EXPECT_EQ(version.text(), "VE|2024.10.1\r\nXX|other\r\n");
    EXPECT_EQ(events.begins.size(), 2u);

    try {
        MemoryStream none;
        http.Get(us.packageUrl(""), none);
        ADD_FAILURE() << "a missing package must fail";
    } catch (const EIdHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode(), 404);
        EXPECT_NE(e.ErrorMessage().find("404"), std::string::npos);
    }
    return http.ConnectCount();
}

TEST(RealServers, NginxKeepsOneConnection) {
    Site site;
    NginxServer nginx(site.root, site.work);
    if (!nginx.running()) GTEST_SKIP() << nginx.why();
    EXPECT_EQ(downloadBoth(nginx, site), 1);
}

TEST(RealServers, PythonHttpServerClosesEachTime) {
    Site site;
    PythonHttpServer python(site.root, site.work);
    if (!python.running()) GTEST_SKIP() << python.why();
    EXPECT_EQ(downloadBoth(python, site), 3);
}

TEST(RealServers, NginxRefusesAFolderWithARedirect) {
    // nginx answers a folder without its "/" with 301 and a Location: never followed.
    Site site;
    NginxServer nginx(site.root, site.work);
    if (!nginx.running()) GTEST_SKIP() << nginx.why();
    TIdHTTP http;
    applyUpdaterSettings(http);
    MemoryStream out;
    try {
        http.Get(nginx.url("/public"), out);
        ADD_FAILURE() << "a redirection must fail";
    } catch (const EIdHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode(), 301);
        EXPECT_EQ(std::string(e.what()), "HTTP/1.1 301 Moved Permanently");
    }
    EXPECT_EQ(out.Size(), 0);
}

// nginx answers the resumable download's Range/If-Range: the rest of the file (206) while the
// validator matches, the whole file (200) once it does not.
TEST(RealServers, NginxRangeAndIfRange) {
    Site site;
    NginxServer nginx(site.root, site.work);
    if (!nginx.running()) GTEST_SKIP() << nginx.why();
    const fs::path source = site.root / "public" / "qlupdate" / "mid.zip";
    constexpr std::uint64_t kSize = 3ull * 1000 * 1000;
    writePatternFile(source, kSize);
    const std::string url = nginx.url("/public/qlupdate/mid.zip");
    std::string etag;
    {
        TIdHTTP http;
        applyUpdaterSettings(http);
        MemoryStream whole;
        http.Get(url, whole);
        etag = http.Response().ETag;
    }
    ASSERT_TRUE(etag.starts_with("\"")) << etag;  // a strong validator
    const struct {
        const char* name;
        std::string tag;
        int status;
        std::int64_t resumedAt;
        int restarts;
    } cases[] = {
        {"validator matches: the rest", etag, 206, 1000 * 1000, 0},
        {"validator does not match: the whole file", "\"not-this-one\"", 200, -1, 1},
    };
    for (const auto& c : cases) {
        const std::string file = (site.dir.path() / "got.zip").string();
        {
            std::ifstream in(source, std::ios::binary);
            std::string head(1000 * 1000, '\0');
            in.read(head.data(), static_cast<std::streamsize>(head.size()));
            std::ofstream(PartFileOf(file), std::ios::binary | std::ios::trunc) << head;
            std::ofstream(PartTagFileOf(file), std::ios::binary | std::ios::trunc) << c.tag << '\n';
        }
        TIdHTTP http;
        applyUpdaterSettings(http);
        const ResumeOutcome out = GetResumable(http, url, file, ResumeSettings{});
        EXPECT_EQ(out.status, c.status) << c.name;
        EXPECT_EQ(out.resumedAt, c.resumedAt) << c.name;
        EXPECT_EQ(out.restarts, c.restarts) << c.name;
        EXPECT_EQ(out.requests, 1) << c.name;
        EXPECT_EQ(out.size, static_cast<std::int64_t>(kSize)) << c.name;
        EXPECT_TRUE(sameFileContents(PartFileOf(file), source)) << c.name;
        fs::remove(PartFileOf(file));
    }
}

TEST(RealServers, QltoolGet) {
    Site site;
    NginxServer nginx(site.root, site.work);
    if (!nginx.running()) GTEST_SKIP() << nginx.why();
    const fs::path out = site.dir.path() / "q.zip";
    testsupport::ToolRun r = testsupport::runTool(
        {testsupport::qltoolPath(), "get", nginx.url("/public/qlupdate/big.zip"), out.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sameFileContents(out, site.big));

    r = testsupport::runTool(
        {testsupport::qltoolPath(), "get", nginx.url("/public/qlupdate/none.zip"), out.string()});
    EXPECT_NE(r.status, 0);
    const std::string& text = r.err;
    // The failure is a line of its own, whatever progress came before it.
    EXPECT_NE(text.find("\nEIdHTTPProtocolException: HTTP/1.1 404 Not Found\n"), std::string::npos)
        << text;
}

}  // namespace
}  // namespace net
