#pragma once

#include <cstdint>
#include <functional>

namespace platform::foundation {

class RunLoop;

// A one-shot or repeating timer scheduled on a run loop. The loop holds the timer
// until it fires for the last time or is invalidated; the owner's reference is only
// a handle. Actions should capture their owner weakly.
class Timer {
  public:
    void invalidate() { valid_ = false; }
    bool isValid() const { return valid_; }
    bool repeats() const { return repeats_; }
    double interval() const { return interval_; }
    double fireDate() const { return start_ + interval_ * static_cast<double>(fires_ + 1); }

  private:
    friend class RunLoop;
    Timer(double start, double interval, bool repeats, std::uint64_t sequence,
          std::function<void(Timer&)> action)
        : start_(start),
          interval_(interval),
          repeats_(repeats),
          sequence_(sequence),
          action_(std::move(action)) {}

    double start_;
    double interval_;
    bool repeats_;
    std::uint64_t sequence_;
    std::uint64_t fires_ = 0;
    bool valid_ = true;
    std::function<void(Timer&)> action_;
};

}  // namespace platform::foundation
