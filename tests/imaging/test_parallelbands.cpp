// The worker pool of the page fixes: every item is handed out exactly once, slots stay apart, and a call from inside
// a band or from a second thread at the same time does its work instead of waiting for itself.
#include "imaging/ParallelBands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

TEST(ParallelBands, EveryItemIsDoneOnceInBandsOfAtLeastTheMinimum) {
    ASSERT_GE(ParallelSlots(), 1);
    for (int count : {0, 1, 7, 64, 1000, 100003}) {
        for (int minBand : {1, 16, 5000}) {
            std::vector<std::atomic<int>> seen(static_cast<size_t>(count));
            std::atomic<int> shortBands{0}, badSlots{0};
            ParallelBands(count, minBand, [&](int begin, int end, int slot) {
                if (end - begin < std::min(minBand, count))
                    ++shortBands;
                if (slot < 0 || slot >= ParallelSlots())
                    ++badSlots;
                for (int i = begin; i < end; ++i)
                    ++seen[static_cast<size_t>(i)];
            });
            EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const std::atomic<int>& n) { return n != 1; }), 0)
                << count << " items in bands of " << minBand << ": some done twice or never";
            EXPECT_EQ(shortBands, 0) << count << " items: a band below the minimum of " << minBand;
            EXPECT_EQ(badSlots, 0) << count << " items: a slot outside 0 .. ParallelSlots() - 1";
        }
    }
}

TEST(ParallelBands, BandsRunningAtOnceNeverShareASlot) {
    std::vector<std::atomic<int>> inSlot(static_cast<size_t>(ParallelSlots()));
    std::atomic<int> clashes{0};
    ParallelBands(256, 1, [&](int, int, int slot) {
        if (++inSlot[static_cast<size_t>(slot)] != 1)
            ++clashes;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        --inSlot[static_cast<size_t>(slot)];
    });
    EXPECT_EQ(clashes, 0) << "two bands used the same slot's scratch at the same time";
}

TEST(ParallelBands, NestedAndConcurrentCallersFinishTheirWork) {
    std::atomic<long> total{0};
    auto job = [&] {
        ParallelBands(64, 1, [&](int begin, int end, int) {
            for (int i = begin; i < end; ++i) // a call from inside a band runs on that band's thread
                ParallelBands(100, 10, [&](int b, int e, int) { total += e - b; });
        });
    };
    std::thread other(job);
    job();
    other.join();
    EXPECT_EQ(total, 2L * 64 * 100);
}
