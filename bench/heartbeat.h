#pragma once

// A 1 ms heartbeat on the main loop: the largest gap between beats is the longest time the
// main thread was blocked (what a turning spinner would show as a stall).
#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/foundation/run_loop.h"

namespace bench {

struct Heartbeat {
    using Clock = std::chrono::steady_clock;
    Clock::time_point last = Clock::now();
    double longest = 0.0;
    std::shared_ptr<platform::foundation::Timer> timer =
        platform::foundation::RunLoop::main().scheduleTimer(
            0.001, true, [this](platform::foundation::Timer&) {
                const auto now = Clock::now();
                longest = std::max(longest, std::chrono::duration<double>(now - last).count());
                last = now;
            });
    ~Heartbeat() { timer->invalidate(); }
};

}  // namespace bench
