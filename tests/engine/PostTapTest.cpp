// The post-chain tap: frames come out in order and whole across the ring's end, a full ring
// drops (and counts) what does not fit instead of overwriting, and nothing is kept while off.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/PostTap.h"

TEST(PostTap, OrderAcrossTheWrapDropsWhenFullAndIdlesWhenOff) {
    PostTap tap;
    std::vector<float> block(2 * 1000), out(2 * PostTap::kFrames);
    tap.Push(block.data(), 1000);
    EXPECT_EQ(tap.Take(out.data(), out.size() / 2), 0u); // off: nothing kept
    tap.SetOn(true);
    float next = 0.0f;
    float expect = 0.0f;
    // Many times round the ring, taking a little less than was pushed each time.
    for (int round = 0; round < 400; ++round) {
        for (size_t i = 0; i < 1000; ++i) {
            block[2 * i] = next;
            block[2 * i + 1] = -next;
            next += 1.0f;
        }
        tap.Push(block.data(), 1000);
        const size_t n = tap.Take(out.data(), 1000);
        ASSERT_EQ(n, 1000u);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_EQ(out[2 * i], expect);
            ASSERT_EQ(out[2 * i + 1], -expect);
            expect += 1.0f;
        }
    }
    // A reader that does not come: the ring fills, then blocks are dropped whole.
    size_t pushed = 0;
    while (pushed + 1000 <= PostTap::kFrames) {
        tap.Push(block.data(), 1000);
        pushed += 1000;
    }
    tap.Push(block.data(), 1000);
    EXPECT_EQ(tap.Dropped(), 1000u);
    EXPECT_EQ(tap.Take(out.data(), PostTap::kFrames), pushed);
    // Clear forgets what came; a new play measures from there.
    tap.Push(block.data(), 500);
    tap.Clear();
    EXPECT_EQ(tap.Take(out.data(), 100), 0u);
}

TEST(PostTap, AudioThreadAndMainThreadMeetWithoutALock) {
    PostTap tap;
    tap.SetOn(true);
    constexpr int kBlocks = 3000;
    std::thread audio([&] {
        std::vector<float> block(2 * 512);
        float v = 0.0f;
        for (int b = 0; b < kBlocks; ++b) {
            for (size_t i = 0; i < 512; ++i) block[2 * i] = block[2 * i + 1] = v++;
            tap.Push(block.data(), 512);
        }
    });
    std::vector<float> out(2 * 4096);
    size_t taken = 0;
    float last = -1.0f;
    bool ordered = true;
    while (taken + tap.Dropped() < size_t{kBlocks} * 512) {
        const size_t n = tap.Take(out.data(), 4096);
        for (size_t i = 0; i < n; ++i) {
            ordered = ordered && out[2 * i] > last && out[2 * i] == out[2 * i + 1];
            last = out[2 * i];
        }
        taken += n;
    }
    audio.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(taken + tap.Dropped(), size_t{kBlocks} * 512);
}
