#pragma once

#include <memory>

namespace platform::foundation {

// Seconds since an arbitrary origin. The run loop reads time only through a clock.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    // A virtual clock moves only when the run loop advances it.
    virtual bool isVirtual() const = 0;
    virtual void advanceTo(double) {}
};

class SystemClock final : public Clock {
  public:
    double now() const override;
    bool isVirtual() const override { return false; }
};

class VirtualClock final : public Clock {
  public:
    double now() const override { return now_; }
    bool isVirtual() const override { return true; }
    void advanceTo(double t) override {
        if (t > now_) now_ = t;
    }

  private:
    double now_ = 0.0;
};

}  // namespace platform::foundation
