#include "platform/foundation/work_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace platform::foundation {
namespace {

TEST(WorkQueueTest, ResultsComeBackOnTheLoopInOrderBeforeVirtualTimeMoves) {
    auto clock = std::make_shared<VirtualClock>();
    RunLoop loop(clock);
    std::vector<std::pair<int, double>> results;
    const auto loopThread = std::this_thread::get_id();
    {
        WorkQueue queue(loop);
        for (int i = 0; i < 5; ++i)
            queue.async<int>(
                [i, loopThread] {
                    EXPECT_NE(std::this_thread::get_id(), loopThread);
                    std::this_thread::sleep_for(std::chrono::milliseconds(5 - i));
                    return i * i;
                },
                [&](int r) {
                    EXPECT_EQ(std::this_thread::get_id(), loopThread);
                    results.emplace_back(r, clock->now());
                });
        loop.performAfter(1.0, [] {});
        loop.runFor(0.5);
    }
    ASSERT_EQ(results.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(results[i].first, i * i);
        EXPECT_DOUBLE_EQ(results[i].second, 0.0);
    }
}

TEST(WorkQueueTest, DestructionFinishesTheJobsAlreadyGiven) {
    RunLoop loop;
    int done = 0;
    {
        WorkQueue queue(loop);
        for (int i = 0; i < 3; ++i) queue.async<int>([] { return 1; }, [&](int r) { done += r; });
    }
    loop.runPending();
    EXPECT_EQ(done, 3);
}

}  // namespace
}  // namespace platform::foundation
