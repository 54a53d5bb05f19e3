#include <gtest/gtest.h>

#include <vector>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"

namespace platform::foundation {
namespace {

// A loop that stalled (a long save, a suspended machine) owes a repeating timer several
// slots: it fires once for them all, then keeps its schedule, no burst and no slot skipped.
TEST(RepeatingTimerTest, AStallOfFiveAndAHalfIntervalsFiresOnceThenKeepsTheSchedule) {
    auto clock = std::make_shared<VirtualClock>();
    RunLoop loop(clock);
    std::vector<double> fired;
    auto timer = loop.scheduleTimer(2.0, true, [&](Timer&) { fired.push_back(clock->now()); });
    loop.runFor(2.0);
    ASSERT_EQ(fired, std::vector<double>{2.0});
    clock->advanceTo(13.0);  // 5.5 intervals without a turn of the loop
    loop.runPending();
    EXPECT_EQ(fired, (std::vector<double>{2.0, 13.0}));
    loop.runFor(3.0);
    EXPECT_EQ(fired, (std::vector<double>{2.0, 13.0, 14.0, 16.0}));
    timer->invalidate();
}

}  // namespace
}  // namespace platform::foundation
