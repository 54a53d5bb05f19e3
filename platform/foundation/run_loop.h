#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/clock.h"
#include "platform/foundation/event_source.h"
#include "platform/foundation/timer.h"

namespace platform::foundation {

// The main thread's loop: timers, delayed calls, tasks posted from other threads and,
// with a window, the window's events. With a virtual clock, time moves only while the
// loop is idle and no background work is under way, jumping to the next timer.
class RunLoop {
  public:
    explicit RunLoop(std::shared_ptr<Clock> clock = std::make_shared<SystemClock>());
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The loop of the main thread, shared by the whole application.
    static RunLoop& main();

    void setClock(std::shared_ptr<Clock> clock);
    Clock& clock() const { return *clock_; }
    double now() const { return clock_->now(); }

    std::shared_ptr<Timer> scheduleTimer(double interval, bool repeats,
                                         std::function<void(Timer&)> action);
    void performAfter(double delay, std::function<void()> action);
    // Thread-safe: runs the task on the loop's thread at its next turn, in posting order.
    void post(std::function<void()> task);

    // Marks work under way on another thread (a capture, an album save) whose result
    // will be posted back; a virtual clock does not move until every token is released.
    class BackgroundWork {
      public:
        BackgroundWork() = default;
        explicit BackgroundWork(RunLoop* loop);
        BackgroundWork(BackgroundWork&& other) noexcept;
        BackgroundWork& operator=(BackgroundWork&& other) noexcept;
        BackgroundWork(const BackgroundWork&) = delete;
        BackgroundWork& operator=(const BackgroundWork&) = delete;
        ~BackgroundWork();
        void end();

      private:
        RunLoop* loop_ = nullptr;
    };
    BackgroundWork beginBackgroundWork() { return BackgroundWork(this); }
    int pendingBackgroundWork() const { return backgroundWork_.load(); }

    // Runs the loop for the given number of seconds of the loop's clock.
    void runFor(double seconds);
    // Runs until quit(); returns the status given to quit().
    int run();
    void quit(int status = 0);
    bool quitRequested() const { return quitRequested_; }

    // On the loop's thread: plugs in (or, with null, removes) the window's event queue. Once
    // the source is removed, no thread is inside its wake() or can enter it.
    void setEventSource(EventSource* source);

    // Drops every timer and posted task and forgets a quit: a fresh start for the loop.
    void reset();
    std::size_t timerCount() const { return timers_.size(); }

    // Runs posted tasks and due timers once, without waiting; true if anything ran.
    bool runPending();

  private:
    struct TimerOrder {
        bool operator()(const std::shared_ptr<Timer>& a, const std::shared_ptr<Timer>& b) const;
    };

    bool runPostedTasks();
    bool hasPostedTasks();
    bool fireDueTimers();
    double nextFireDate();
    void waitForWork(double timeout);
    void runUntil(double deadline, bool stopAtDeadline);
    // With mutex_ held: ends the loop's wait, on the condition or in the event source.
    void wakeLocked();

    std::shared_ptr<Clock> clock_;
    std::vector<std::shared_ptr<Timer>> timers_;
    std::uint64_t nextSequence_ = 0;

    std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::deque<std::function<void()>> posted_;
    std::atomic<int> backgroundWork_{0};

    // Set on the loop's thread with mutex_ held; other threads read it only with mutex_ held.
    EventSource* eventSource_ = nullptr;
    bool quitRequested_ = false;
    int exitStatus_ = 0;
};

}  // namespace platform::foundation
