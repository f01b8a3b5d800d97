// Clients that send their request a byte at a time must not take the stand-in from the program.
#include "StandinServer.h"
#include "support/HostileServer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

namespace vorlith::standin {
namespace {

using namespace std::chrono_literals;

httplib::Result GetHelp(int port) {
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(false);
    client.set_connection_timeout(2);
    client.set_read_timeout(2);
    return client.Get("/help/");
}

TEST(StandinSlowClients, HalfSentRequestsLeaveRoomForOthers) {
    Options options;
    options.Quiet = true;
    StandinServer server(options);
    const int port = server.Start();
    ASSERT_GT(port, 0);
    // Far more than its workers, each re-arming a read timeout with every byte: they wait for
    // their heads outside the workers.
    test::SlowClients slow(static_cast<std::uint16_t>(port), 300, 200ms);
    ASSERT_EQ(slow.Opened(), 300);
    std::this_thread::sleep_for(300ms);
    const auto result = GetHelp(port);
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200);
}

TEST(StandinSlowClients, ARequestThatNeverEndsIsCutAtTheDeadline) {
    Options options;
    options.Quiet = true;
    options.RequestDeadlineMs = 800;
    StandinServer server(options);
    const int port = server.Start();
    ASSERT_GT(port, 0);
    const auto start = std::chrono::steady_clock::now();
    test::SlowClients slow(static_cast<std::uint16_t>(port), 3, 100ms);
    while (slow.Closed() < 3 && std::chrono::steady_clock::now() - start < 6s)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(slow.Closed(), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    const auto result = GetHelp(port);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
}

} // namespace
} // namespace vorlith::standin
