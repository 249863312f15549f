// The hand-over port with real threads: calls from engine threads run on the main thread while
// it waits serving, closing releases a waiting caller, and the work of many callers is ordered
// by the port alone (ThreadSanitizer checks that in its build: the counters below are plain).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "common/MainThreadPort.h"

using namespace std::chrono_literals;

namespace {

// Counts the wake-ups, so a test can see that a call is waiting without sleeping.
class CountingPort : public MainThreadPort {
public:
    std::atomic<int> wakes{0};

protected:
    void Wake() override { wakes.fetch_add(1, std::memory_order_release); }
};

constexpr auto kLong = 20s; // only reached when the port is broken

} // namespace

TEST(MainThreadPort, CallFromAThreadRunsOnTheMainThreadWhileItWaitsServing) {
    MainThreadPort port;
    const std::thread::id main = std::this_thread::get_id();
    std::thread::id ranOn;
    int value = 0; // written on the main thread, read by the caller after Call returns
    std::atomic<bool> finished{false};
    bool callResult = false;
    int seenByCaller = 0;
    std::thread engine([&] {
        EXPECT_FALSE(port.OnMainThread());
        callResult = port.Call([&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        });
        seenByCaller = value;
        finished.store(true, std::memory_order_release);
    });
    EXPECT_TRUE(port.WaitServing([&] { return finished.load(std::memory_order_acquire); }, kLong));
    engine.join();
    EXPECT_TRUE(callResult);
    EXPECT_EQ(ranOn, main);
    EXPECT_EQ(seenByCaller, 42);
}

TEST(MainThreadPort, ManyCallersAndPostsAreAllServedInTheirOwnOrder) {
    MainThreadPort port;
    constexpr int kThreads = 4, kCalls = 200;
    std::vector<int> lastSeen(kThreads, -1); // main thread only
    int total = 0, outOfOrder = 0, posted = 0;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                EXPECT_TRUE(port.Call([&, t, i] {
                    if (i != lastSeen[t] + 1) ++outOfOrder;
                    lastSeen[t] = i;
                    ++total;
                }));
                if (i % 50 == 0) port.Post([&] { ++posted; });
            }
            running.fetch_sub(1, std::memory_order_release);
        });
    }
    EXPECT_TRUE(port.WaitServing([&] { return running.load(std::memory_order_acquire) == 0; }, kLong));
    for (auto& th : threads) th.join();
    port.Serve(); // posts queued after the last call
    EXPECT_EQ(total, kThreads * kCalls);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(posted, kThreads * (kCalls / 50));
}

TEST(MainThreadPort, CloseReleasesAWaitingCallerWithoutRunningItsWork) {
    CountingPort port;
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    std::thread engine([&] { result.store(port.Call([&] { ran.store(true); }) ? 1 : 0); });
    // The call is queued once the port was woken for it; the main thread does not serve it.
    const auto deadline = std::chrono::steady_clock::now() + kLong;
    while (port.wakes.load(std::memory_order_acquire) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(port.wakes.load(), 1);
    port.Close();
    engine.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran.load());
    // Nothing is left to serve, and later calls and posts are refused.
    EXPECT_EQ(port.Serve(), 0);
    std::thread late([&] {
        EXPECT_FALSE(port.Call([&] { ran.store(true); }));
        port.Post([&] { ran.store(true); });
    });
    late.join();
    EXPECT_EQ(port.Serve(), 0);
    EXPECT_FALSE(ran.load());
}

TEST(MainThreadPort, WorkAlreadyRunningWhenThePortClosesIsWaitedFor) {
    MainThreadPort port;
    std::atomic<bool> returned{false};
    bool result = false;
    std::thread engine([&] {
        // The work closes the port itself, as a shutdown begun from a handed-over stop would.
        result = port.Call([&] { port.Close(); });
        returned.store(true, std::memory_order_release);
    });
    EXPECT_TRUE(port.WaitServing([&] { return returned.load(std::memory_order_acquire); }, kLong));
    engine.join();
    EXPECT_TRUE(result);
}

TEST(MainThreadPort, TheMainThreadsOwnCallsRunAtOnceAndWaitServingGivesUp) {
    MainThreadPort port;
    int ran = 0;
    EXPECT_TRUE(port.OnMainThread());
    EXPECT_TRUE(port.Call([&] { ++ran; }));
    port.Post([&] { ++ran; });
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(port.Serve(), 0);
    EXPECT_FALSE(port.WaitServing([] { return false; }, 5ms));
    EXPECT_TRUE(port.WaitServing([] { return true; }, 0ms));
}
