#include "net/url.h"

#include <gtest/gtest.h>

namespace net {
namespace {

struct UrlCase {
    const char* name;
    const char* input;
    Url expected;
    const char* target;
    const char* hostHeader;
};

Url url(std::string protocol, std::string user, std::string pass, std::string host, bool ipv6,
        std::string port, std::string path, std::string doc, std::string params, std::string mark) {
    return Url{protocol, user, pass, host, ipv6, port, path, doc, params, mark};
}

const UrlCase kCases[] = {
    {"updater version file", "http://update.quillora.it/public/qlupdate/UPDATEQL.txt",
     url("http", "", "", "update.quillora.it", false, "80", "/public/qlupdate/", "UPDATEQL.txt", "",
         ""),
     "/public/qlupdate/UPDATEQL.txt", "update.quillora.it"},
    {"explicit port 80 keeps Host bare", "http://h:80/a",
     url("http", "", "", "h", false, "80", "/", "a", "", ""), "/a", "h"},
    {"other port goes into Host", "http://127.0.0.1:8080/x/y/",
     url("http", "", "", "127.0.0.1", false, "8080", "/x/y/", "", "", ""), "/x/y/",
     "127.0.0.1:8080"},
    {"host only", "http://h", url("http", "", "", "h", false, "80", "/", "", "", ""), "/", "h"},
    {"https default port", "https://h/", url("https", "", "", "h", false, "443", "/", "", "", ""),
     "/", "h"},
    {"user info", "http://ann:s3:cr@t@h:81/p/d",
     url("http", "ann", "s3:cr@t", "h", false, "81", "/p/", "d", "", ""), "/p/d", "h:81"},
    {"IPv6 literal with port", "http://[::1]:8080/f",
     url("http", "", "", "::1", true, "8080", "/", "f", "", ""), "/f", "[::1]:8080"},
    {"IPv6 literal default port", "http://[fe80::2]/",
     url("http", "", "", "fe80::2", true, "80", "/", "", "", ""), "/", "[fe80::2]"},
    {"backslashes are slashes", "http:\\\\h\\dir\\sub\\file.zip",
     url("http", "", "", "h", false, "80", "/dir/sub/", "file.zip", "", ""), "/dir/sub/file.zip",
     "h"},
    {"query and fragment", "http://h/d/doc.txt#top",
     url("http", "", "", "h", false, "80", "/d/", "doc.txt", "", "top"), "/d/doc.txt", "h"},
    {"fragment after the query", "http://h/x.txt?a=b#frag",
     url("http", "", "", "h", false, "80", "/", "x.txt", "a=b", "frag"), "/x.txt?a=b", "h"},
    {"fragment inside the path", "http://h/a#b/c.txt?q",
     url("http", "", "", "h", false, "80", "/", "a", "", "b/c.txt?q"), "/a", "h"},
    {"fragment right after the host", "http://h:81#x/y",
     url("http", "", "", "h", false, "81", "/", "", "", "x/y"), "/", "h:81"},
    {"query is kept as written", "http://h/a/b?x=%41&y=/z",
     url("http", "", "", "h", false, "80", "/a/", "b", "x=%41&y=/z", ""), "/a/b?x=%41&y=/z", "h"},
    {"nothing percent-decoded", "http://h/%7Euser/a%20b",
     url("http", "", "", "h", false, "80", "/%7Euser/", "a%20b", "", ""), "/%7Euser/a%20b", "h"},
    {"empty version gives /.zip", "http://h/public/qlupdate/.zip",
     url("http", "", "", "h", false, "80", "/public/qlupdate/", ".zip", "", ""),
     "/public/qlupdate/.zip", "h"},
    {"unknown protocol has no default port", "ftp://h/x",
     url("ftp", "", "", "h", false, "", "/", "x", "", ""), "/x", "h"},
    {"no protocol", "just/a/path", url("", "", "", "", false, "", "/just/a/", "path", "", ""),
     "/just/a/path", ""},
};

TEST(Url, SplitsAsTheClientDoes) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Url u = parseUrl(c.input);
        EXPECT_EQ(u.protocol, c.expected.protocol);
        EXPECT_EQ(u.username, c.expected.username);
        EXPECT_EQ(u.password, c.expected.password);
        EXPECT_EQ(u.host, c.expected.host);
        EXPECT_EQ(u.ipv6, c.expected.ipv6);
        EXPECT_EQ(u.port, c.expected.port);
        EXPECT_EQ(u.path, c.expected.path);
        EXPECT_EQ(u.document, c.expected.document);
        EXPECT_EQ(u.params, c.expected.params);
        EXPECT_EQ(u.bookmark, c.expected.bookmark);
        EXPECT_EQ(u.target(), c.target);
        EXPECT_EQ(u.hostHeader(), c.hostHeader);
    }
}

}  // namespace
}  // namespace net
