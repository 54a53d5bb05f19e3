#include "platform/foundation/run_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace platform::foundation {
namespace {

class VirtualLoopTest : public ::testing::Test {
  protected:
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    RunLoop loop{clock};
    std::vector<std::string> fired;

    void record(double interval, bool repeats, std::string name) {
        loop.scheduleTimer(interval, repeats, [this, name](Timer&) { fired.push_back(name); });
    }
};

TEST_F(VirtualLoopTest, TimersFireByTimeThenBySchedulingOrder) {
    record(0.5, false, "b");
    record(0.2, false, "a");
    record(0.5, false, "c");
    loop.performAfter(0.5, [this] { fired.push_back("d"); });
    loop.runFor(1.0);
    EXPECT_EQ(fired, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_DOUBLE_EQ(clock->now(), 1.0);
}

TEST_F(VirtualLoopTest, RepeatingTimerKeepsItsScheduleWithoutDrift) {
    std::vector<double> times;
    loop.scheduleTimer(0.1, true, [&](Timer&) { times.push_back(clock->now()); });
    loop.runFor(100.05);
    ASSERT_EQ(times.size(), 1000u);
    // Each tick lands on t0 + n·interval, not on the previous tick plus the interval.
    EXPECT_DOUBLE_EQ(times.back(), 0.1 * 1000);
}

// A loop that stalled (a long save, a suspended machine) owes a repeating timer several
// slots: it fires once for them all, then keeps its schedule, no burst and no slot skipped.
TEST_F(VirtualLoopTest, AStallOfFiveAndAHalfIntervalsFiresOnceThenKeepsTheSchedule) {
    std::vector<double> times;
    loop.scheduleTimer(2.0, true, [&](Timer&) { times.push_back(clock->now()); });
    loop.runFor(2.0);
    clock->advanceTo(13.0);  // 5.5 intervals without a turn of the loop
    loop.runPending();
    EXPECT_EQ(times, (std::vector<double>{2.0, 13.0}));
    loop.runFor(3.0);
    EXPECT_EQ(times, (std::vector<double>{2.0, 13.0, 14.0, 16.0}));
}

TEST_F(VirtualLoopTest, InvalidateInsideTheCallbackStopsARepeatingTimer) {
    int ticks = 0;
    loop.scheduleTimer(1.0, true, [&](Timer& t) {
        if (++ticks == 3) t.invalidate();
    });
    loop.runFor(10.0);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST_F(VirtualLoopTest, InvalidatedTimerDueAtTheSameMomentDoesNotFire) {
    std::shared_ptr<Timer> second;
    loop.scheduleTimer(1.0, false, [&](Timer&) { second->invalidate(); });
    second = loop.scheduleTimer(1.0, false, [&](Timer&) { fired.push_back("second"); });
    loop.runFor(2.0);
    EXPECT_TRUE(fired.empty());
}

TEST_F(VirtualLoopTest, TimeDoesNotMoveWhileBackgroundWorkIsUnderWay) {
    double completedAt = -1.0;
    auto work = std::make_shared<RunLoop::BackgroundWork>(loop.beginBackgroundWork());
    std::thread worker([&, work]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        loop.post([&] { completedAt = clock->now(); });
        work->end();
    });
    record(5.0, false, "later");
    loop.runFor(10.0);
    worker.join();
    EXPECT_DOUBLE_EQ(completedAt, 0.0);
    EXPECT_EQ(fired, std::vector<std::string>{"later"});
}

TEST_F(VirtualLoopTest, PostedTasksFromManyThreadsAllRunInPostingOrderPerThread) {
    std::vector<int> seen;
    std::vector<std::thread> threads;
    auto work = std::make_shared<RunLoop::BackgroundWork>(loop.beginBackgroundWork());
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i)
                loop.post([&seen, t, i] { seen.push_back(t * 1000 + i); });
        });
    for (auto& th : threads) th.join();
    work->end();
    loop.runFor(0.0);
    ASSERT_EQ(seen.size(), 400u);
    std::vector<int> last(4, -1);
    for (int v : seen) {
        EXPECT_GT(v % 1000, last[v / 1000]);
        last[v / 1000] = v % 1000;
    }
}

TEST_F(VirtualLoopTest, TimerScheduledByAnActionWaitsForItsOwnTime) {
    loop.performAfter(1.0, [this] {
        fired.push_back("first");
        loop.performAfter(0.0, [this] { fired.push_back("then"); });
    });
    loop.runFor(1.0);
    EXPECT_EQ(fired, (std::vector<std::string>{"first", "then"}));
}

TEST(SystemLoopTest, PostFromAnotherThreadWakesTheLoop) {
    RunLoop loop;
    bool ran = false;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop.post([&] {
            ran = true;
            loop.quit(7);
        });
    });
    EXPECT_EQ(loop.run(), 7);
    poster.join();
    EXPECT_TRUE(ran);
}

// Counts the wakes that reach it, and those that come after the loop has let it go.
class WakeCounter final : public EventSource {
  public:
    void dispatchEvents() override {}
    void waitForEvents(double) override {}
    void wake() override {
        inWake_.fetch_add(1);
        wakes_.fetch_add(1);
        std::this_thread::yield();  // lets the loop's thread remove the source meanwhile
        if (removed_.load()) lateWakes_.fetch_add(1);
        inWake_.fetch_sub(1);
    }
    // Once the loop has let the source go: a wake still under way is late as well.
    void markRemoved() {
        removed_.store(true);
        if (inWake_.load() > 0) lateWakes_.fetch_add(1);
    }
    int wakes() const { return wakes_.load(); }
    int lateWakes() const { return lateWakes_.load(); }

  private:
    std::atomic<int> inWake_{0};
    std::atomic<int> wakes_{0};
    std::atomic<int> lateWakes_{0};
    std::atomic<bool> removed_{false};
};

// Windows open and close on the main thread while workers keep posting results, as a save
// finishing while the window closes does.
TEST(EventSourceTest, WorkersPostingWhileSourcesComeAndGoNeverWakeARemovedOne) {
    constexpr int kWorkers = 2;
    constexpr int kSources = 1000;
    RunLoop loop;
    int ran = 0;
    std::atomic<int> posted{0};
    std::atomic<bool> stop{false};
    std::latch posting(kWorkers);
    auto postOne = [&] {
        loop.post([&ran] { ++ran; });
        posted.fetch_add(1);
    };
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&] {
            postOne();
            posting.count_down();
            while (!stop.load()) {
                postOne();
                std::this_thread::yield();
            }
        });
    posting.wait();
    std::vector<WakeCounter> sources(kSources);
    for (auto& source : sources) {
        loop.setEventSource(&source);
        // Removed only once a worker has reached it: the removal meets posts under way.
        while (source.wakes() == 0) std::this_thread::yield();
        loop.runPending();
        loop.setEventSource(nullptr);
        source.markRemoved();
    }
    stop.store(true);
    for (auto& worker : workers) worker.join();
    loop.runPending();

    int lateWakes = 0;
    for (const auto& source : sources) lateWakes += source.lateWakes();
    EXPECT_EQ(lateWakes, 0);
    EXPECT_EQ(ran, posted.load());
}

}  // namespace
}  // namespace platform::foundation
