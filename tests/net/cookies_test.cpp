#include "net/cookies.h"

#include <gtest/gtest.h>

namespace net {
namespace {

using namespace std::chrono;

const CookieClock::time_point kNow = CookieClock::time_point(seconds(1700000000));  // 2023-11-14

TEST(CookieDate, Rfc6265Formats) {
    const std::int64_t expected = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
    for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                             "Sun Nov  6 08:49:37 1994", "6 nov 1994 8:49:37"}) {
        auto t = parseCookieDate(text);
        ASSERT_TRUE(t.has_value()) << text;
        EXPECT_EQ(duration_cast<seconds>(t->time_since_epoch()).count(), expected) << text;
    }
    for (const char* text :
         {"", "tomorrow", "Sun, 06 Nov 1994", "06 Foo 1994 08:49:37", "32 Nov 1994 08:49:37",
          "06 Nov 1994 25:00:00", "06 Nov 1500 08:49:37"})
        EXPECT_FALSE(parseCookieDate(text).has_value()) << text;
}

TEST(CookieParse, AttributesAndRejections) {
    auto c = parseCookie("SID = abc ; Path=/shop; Domain=.Example.com; Secure; Max-Age=60",
                         "www.example.com", "/x/y", kNow);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name, "SID");
    EXPECT_EQ(c->value, "abc");
    EXPECT_EQ(c->path, "/shop");
    EXPECT_EQ(c->domain, "example.com");
    EXPECT_FALSE(c->hostOnly);
    EXPECT_TRUE(c->secure);
    ASSERT_TRUE(c->expires);
    EXPECT_EQ(*c->expires, kNow + seconds(60));

    auto d = parseCookie("a=1; Path=relative", "h", "/dir/page", kNow);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->path, "/dir");  // RFC 6265 5.1.4 default path
    EXPECT_TRUE(d->hostOnly);
    EXPECT_EQ(d->domain, "h");

    for (const char* bad : {"noequals", "=value", "a=b\rX-Injected: 1", "a=1; Domain=other.com"})
        EXPECT_FALSE(parseCookie(bad, "www.example.com", "/", kNow)) << bad;
    EXPECT_FALSE(parseCookie("a=1; Domain=0.0.1", "127.0.0.1", "/", kNow));
    EXPECT_FALSE(parseCookie("a=" + std::string(kMaxCookieBytes, 'v'), "h", "/", kNow));
}

TEST(CookieStore, LinesForLaterRequests) {
    CookieStore store;
    store.store({"a=1", "b=2; Path=/docs", "gone=1; Max-Age=0", "sec=1; Secure"}, {}, "h",
                "/index.html", kNow);
    EXPECT_EQ(store.cookies().size(), 3u);

    // Longer paths first; every cookie its own line; the extra Cookie2 line after them.
    CookieLines expected{{"Cookie", "b=2"}, {"Cookie", "a=1"}, {"Cookie2", "$Version=\"1\""}};
    EXPECT_EQ(store.linesFor("H", "/docs/x", kNow), expected);
    CookieLines rootOnly{{"Cookie", "a=1"}, {"Cookie2", "$Version=\"1\""}};
    EXPECT_EQ(store.linesFor("h", "/docsx", kNow), rootOnly);
    EXPECT_TRUE(store.linesFor("other", "/", kNow).empty());

    // A later Set-Cookie with the same name, domain and path replaces; an expired one removes.
    store.store({"a=9", "b=x; Path=/docs; Expires=Thu, 01 Jan 1970 00:00:00 GMT"}, {}, "h", "/",
                kNow);
    CookieLines replaced{{"Cookie", "a=9"}, {"Cookie2", "$Version=\"1\""}};
    EXPECT_EQ(store.linesFor("h", "/docs/x", kNow), replaced);
    EXPECT_TRUE(store.linesFor("h", "/", kNow + hours(24 * 365 * 100)).size() == 2);
}

TEST(CookieStore, SetCookie2ReplacesSameNameAndGoesOnCookie2) {
    CookieStore store;
    store.store({"s=old", "keep=1"}, {"s=\"new\"; Version=1; Path=\"/\", t=2; Version=\"1\""}, "h",
                "/", kNow);
    CookieLines expected{{"Cookie", "keep=1"},
                         {"Cookie2", "$Version=\"1\"; s=\"new\"; $Path=\"/\""},
                         {"Cookie2", "$Version=\"1\"; t=2"}};
    EXPECT_EQ(store.linesFor("h", "/", kNow), expected);
}

TEST(CookieStore, BoundedNumberOfCookies) {
    CookieStore store;
    std::vector<std::string> many;
    for (std::size_t i = 0; i < kMaxCookies + 10; ++i)
        many.push_back("c" + std::to_string(i) + "=v");
    store.store(many, {}, "h", "/", kNow);
    EXPECT_EQ(store.cookies().size(), kMaxCookies);
    EXPECT_EQ(store.cookies().front().name, "c10");  // the oldest went first
}

}  // namespace
}  // namespace net
