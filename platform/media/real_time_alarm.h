#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "platform/foundation/run_loop.h"

namespace platform::media {

// Runs an action on the loop's thread once some seconds of real time have passed, whatever
// the loop's own clock says: a camera works in real time also when the loop's clock is
// virtual, and a virtual clock that waits for the camera does not move by itself.
// Cancelling or destroying the alarm first means the action never runs.
class RealTimeAlarm {
  public:
    RealTimeAlarm() = default;
    RealTimeAlarm(foundation::RunLoop& loop, double seconds, std::function<void()> action);
    ~RealTimeAlarm();
    RealTimeAlarm(RealTimeAlarm&& other) noexcept = default;
    RealTimeAlarm& operator=(RealTimeAlarm&& other) noexcept;
    RealTimeAlarm(const RealTimeAlarm&) = delete;
    RealTimeAlarm& operator=(const RealTimeAlarm&) = delete;

    // Only from the loop's thread.
    void cancel();

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread waiter_;
};

}  // namespace platform::media
