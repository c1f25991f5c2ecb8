#include "db/tcp_connect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "host/platform/socket.h"
#include "host/tcp_connect.h"

namespace {

// A resolver that does not finish within the connect time-out is abandoned: the caller leaves
// with 2003 and "Connection timed out"; the late socket is closed by the abandoned thread.
TEST(TcpConnect, SlowResolutionIsAbandonedAfterTheTimeOut) {
    auto listener = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    ASSERT_TRUE(listener.ok());
    const std::uint16_t port = listener->port();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto slow = [finished](const std::string& name, std::uint16_t p) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        auto s = host::connectByName(name, p, host::AddressFamily::IPv4);
        finished->store(true);
        return s;
    };
    const auto start = std::chrono::steady_clock::now();
    auto r = db::connectTcp("slow.example", port, db::connectDeadline(1), slow);
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().code, 2003u);
    EXPECT_EQ(r.error().text,
              "Can't connect to MySQL server on 'slow.example' (10061)\r\nConnection timed out");
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::milliseconds(2400));
    EXPECT_FALSE(finished->load());
}

TEST(TcpConnect, FastResolutionConnects) {
    auto listener = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    ASSERT_TRUE(listener.ok());
    auto r = db::connectTcp("localhost", listener->port(), db::connectDeadline(5));
    ASSERT_TRUE(r.ok()) << r.error().text;
    EXPECT_TRUE(r->isOpen());
    auto direct = db::connectTcp("127.0.0.1", listener->port(), db::connectDeadline(0));
    EXPECT_TRUE(direct.ok());
}

}  // namespace
